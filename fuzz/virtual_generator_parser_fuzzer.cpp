// The virtual generator's byte parser on arbitrary streams, whatever a program sends it: the
// generator model itself, compiled into this target with coverage, run in-process.
//
// Input: byte 0 sets the status behaviour (bits 0-1 busy polls, bit 2 never ready, bit 3 mute),
// byte 1 seeds how the stream is cut into writes, the rest is the stream.
//
// Invariants: nothing crashes or reaches outside the flash (the sanitizers watch every access);
// the flash keeps its size; the stream fed as one write and the same stream cut into writes of
// random sizes leave the same flash, violations, loading mode and status answers, since the
// generator parses one stream; every violation is placed, in order, at a command of the stream;
// every status answer is 0 or 1.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "emulator/generator.h"
#include "emulator/sector_layout.h"

namespace {

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

// Write sizes: single bytes, short runs, about a block, or about a pattern.
size_t NextCut(uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  static constexpr size_t kScales[] = {1, 16, 1600, 4000};
  return 1 + (state >> 8) % kScales[state & 3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2)
    return 0;
  qvx::vg::StatusBehaviour behaviour;
  behaviour.busy_polls = data[0] & 3;
  behaviour.never_ready = (data[0] & 4) != 0;
  behaviour.mute = (data[0] & 8) != 0;
  const std::span<const uint8_t> stream(data + 2, size - 2);

  // Two generators at power-on with erased flash, kept from input to input: a restart erases
  // only what the last input wrote.
  static auto whole = std::make_unique<qvx::vg::Generator>();
  static auto cut = std::make_unique<qvx::vg::Generator>();
  for (auto* generator : {whole.get(), cut.get()}) {
    generator->Restart();
    generator->flash().Restore();
    generator->SetStatusBehaviour(behaviour);
  }
  whole->Accept(stream, 0);
  uint32_t state = 0x9E3779B9u ^ data[1];
  for (size_t at = 0; at < stream.size();) {
    const size_t n = std::min(NextCut(state), stream.size() - at);
    cut->Accept(stream.subspan(at, n), at);
    at += n;
  }

  const auto image = whole->flash().image();
  Require(image.size() == qvx::vg::kFlashBytes, "the flash keeps its size");
  // Outside the pages either flash may have programmed, both are erased.
  const auto& a = whole->flash();
  const auto& b = cut->flash();
  Require(a.touched_pages() == b.touched_pages(),
          "cutting the stream into writes does not change what is programmed");
  constexpr size_t kPage = qvx::vg::NorFlash::kTrackedPage;
  a.touched_pages().ForEach([&](size_t page) {
    Require(std::memcmp(image.data() + page * kPage, b.image().data() + page * kPage, kPage) == 0,
            "cutting the stream into writes does not change the flash");
  });
  const auto& violations = whole->violation_records();
  Require(violations == cut->violation_records(),
          "cutting the stream into writes does not change the violations");
  for (size_t i = 0; i < violations.size(); ++i) {
    Require(violations[i].wire_offset < stream.size() &&
                (i == 0 || violations[i - 1].wire_offset <= violations[i].wire_offset),
            "each violation is placed at a command of the stream, in order");
  }
  // Put into words only when someone reads them: the last one's words name its place.
  Require(violations.empty() ||
              violations.back().Text().ends_with(" at wire offset " +
                                                 std::to_string(violations.back().wire_offset)),
          "a violation's words end with its place in the stream");
  Require(whole->loading() == cut->loading(),
          "cutting the stream into writes does not change the loading mode");
  const auto answers = whole->TakeAnswers(SIZE_MAX);
  Require(answers == cut->TakeAnswers(SIZE_MAX),
          "cutting the stream into writes does not change the status answers");
  Require(std::all_of(answers.begin(), answers.end(), [](uint8_t a) { return a <= 1; }),
          "status answers are 0 or 1");
  Require(!behaviour.mute || answers.empty(), "a mute generator answers nothing");
  // Free what this input made, so that libFuzzer sees no more allocations than frees and does not
  // run the input again to look for a leak.
  for (auto* generator : {whole.get(), cut.get()}) {
    generator->Restart();
    generator->flash().Restore();
  }
  return 0;
}
