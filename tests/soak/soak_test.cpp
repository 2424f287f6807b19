// The fault soak: a few hundred downloads of every kind, in a seeded random order, on the virtual
// generator, with bad files and device faults mixed in. The application is "restarted" (a new
// session on a freshly opened generator whose flash lives on in a file) after every device fault
// and otherwise every few operations, so state carried from one download to the next is part of
// the soak. After each operation: the outcome and the boxes say exactly whether it failed, the
// frame is closed, CMD_END_LOAD went out unless the generator was gone, the generator saw no
// protocol violation, and the flash equals the model of what the completed operations wrote.
//
// QVX_SOAK_SEED=n replays a run; QVX_SOAK_ROUNDS=n sets its size (one round is every class on
// every operation it applies to). Each run draws a new seed, except under CI (CI set), which uses
// kCiSeed so that a submission's result does not depend on the draw.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>

#include "download/frame.h"
#include "tests/soak/soak_cases.h"
#include "tests/support/content_model.h"
#include "tests/support/environment.h"
#include "tests/support/session.h"
#include "tests/support/wire.h"
#include "window/controls.h"

namespace qvx::soak {
namespace {

namespace fs = std::filesystem;
using test::GeneratorControl;
using test::Hex;
using test::Session;
using Lines = std::vector<std::string>;

constexpr int kLongestRun = 8;  // operations between two starts of the application

// The seed of the runs in CI, and of the counts in docs/reliability.md.
constexpr uint64_t kCiSeed = 20261207;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

template <typename T>
T Uniform(Rng& rng, T low, T high) {
  return std::uniform_int_distribution<T>(low, high)(rng);
}

// What one operation showed and sent, from its part of the trace.
struct Observed {
  std::vector<test::WireWrite> writes;
  Lines boxes, infos, titles, progress;
  size_t refused_writes = 0;
};

Observed Observe(const Lines& trace, size_t from) {
  Observed seen;
  seen.writes = test::Writes(trace, from);
  seen.refused_writes = static_cast<size_t>(std::count_if(
      seen.writes.begin(), seen.writes.end(), [](const auto& w) { return !w.Taken(); }));
  seen.boxes = test::Matching(trace, {"box "}, from);
  seen.infos = test::Matching(trace, {"info "}, from);
  seen.titles = test::Matching(trace, {"title "}, from);
  seen.progress = test::Matching(trace, {"progress "}, from);
  return seen;
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kCompleted:
      return "completed";
    case Outcome::kLeftErased:
      return "left erased";
    case Outcome::kRefused:
      return "refused";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kNotConnected:
      return "not connected";
  }
  return "?";
}

// The slot as the failure box names it.
std::string SlotInBox(const Slot& slot) {
  switch (slot.kind()) {
    case SlotKind::kPicture:
      return "Picture " + std::to_string(slot.number());
    case SlotKind::kBanner:
    case SlotKind::kCountdown:
      return "Banner " + std::to_string(slot.number());
    case SlotKind::kPattern:
      return "Test pattern " + std::to_string(slot.number());
    case SlotKind::kAudio:
      return "The audio loop";
  }
  return "?";
}

// Rough bytes a fault-free operation sends, to spread the unplug point over all of it.
uint64_t TypicalBytes(Op op) {
  switch (op) {
    case Op::kPicture:
      return 16 * 12 + 576 * 1541 + 2;
    case Op::kBanner:
    case Op::kCountdown:
      return 2 * 12 + 72 * 1541 + 2;
    case Op::kPattern:
      return 2 * 14 + 2880 + 20;
    case Op::kAudio:
      return 12 + 4 + 11 * 1537 + 2;
  }
  return 0;
}

class FaultSoak : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("qvx-soak-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "files");
    // The generator keeps its flash in a file so that it outlives each restart of the
    // application; no fault comes from the environment.
    test::IsolateGenerator(generator_, (dir_ / "flash.bin").c_str());
    expected_.assign(test::kFlashBytes, 0xFF);
  }

  void TearDown() override {
    setenv("QVX_VG_FLASH", "none", 1);
    generator_.Reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // One case: its request, file and faults, the download, what must have come of it, the checks
  // of what the window and the generator saw, and the flash model brought up to date.
  struct Prepared {
    DownloadRequest request = DownloadRequest::Audio({});
    bool image = false;
    bool picture = false;
    PreparedFile file;
    int refused_channel = -1;  // audio: the first channel whose amplitude is refused
    std::array<int, 4> selections{};
    std::array<double, 4> dbfs{};
    bool cut_during_transfer = false;  // set by the pause hook once it cut the file
  };
  struct Ran {
    Outcome outcome = Outcome::kCompleted;
    Observed seen;
  };

  void RunCase(Session& app, const Case& c, int index);
  Prepared Prepare(Session& app, const Case& c, int index);
  void ArmFault(Session& app, const Case& c, Prepared& prep);
  Ran Perform(Session& app, const Case& c, const Prepared& prep);
  static Outcome Expect(const Case& c, bool connected, const Prepared& prep, const Observed& seen);
  void Check(Session& app, const Case& c, bool connected, const Prepared& prep,
             const Observed& seen, Outcome expected);
  void Apply(const Case& c, const Prepared& prep, Outcome outcome);
  void CheckFlash(const std::string& after);
  void PrintTally(uint64_t seed, double seconds) const;

  GeneratorControl generator_;
  Rng rng_;
  fs::path dir_;
  std::vector<uint8_t> expected_;  // the flash as the completed operations left it
  std::set<size_t> unknown_;       // slots (index into AllSlots) a failed operation left
  std::map<std::pair<Op, Fault>, std::map<Outcome, int>> tally_;
};

void FaultSoak::RunCase(Session& app, const Case& c, int index) {
  const bool connected = app.link.connected();
  Prepared prep = Prepare(app, c, index);
  ArmFault(app, c, prep);  // after Prepare: the pause hook holds on to `prep`
  const Ran ran = Perform(app, c, prep);
  const Outcome expected = Expect(c, connected, prep, ran.seen);
  EXPECT_EQ(OutcomeName(ran.outcome), std::string(OutcomeName(expected)));
  Check(app, c, connected, prep, ran.seen, expected);
  if (HasFatalFailure())
    return;
  Apply(c, prep, ran.outcome);
}

FaultSoak::Prepared FaultSoak::Prepare(Session& app, const Case& c, int index) {
  Prepared prep;
  switch (c.op) {
    case Op::kPicture:
      prep.request = DownloadRequest::Picture(Uniform(rng_, 0, 1));
      break;
    case Op::kBanner:
      prep.request = DownloadRequest::Banner(Uniform(rng_, 0, 7));
      break;
    case Op::kCountdown:
      prep.request = DownloadRequest::Countdown();
      break;
    case Op::kPattern:
      prep.request = DownloadRequest::Pattern(Uniform(rng_, 0, 15));
      break;
    case Op::kAudio:
      break;
  }
  const SlotKind kind = prep.request.slot.kind();
  prep.image =
      kind == SlotKind::kPicture || kind == SlotKind::kBanner || kind == SlotKind::kCountdown;
  prep.picture = kind == SlotKind::kPicture;

  test::Recorder& rec = app.recorder;
  const std::string files = (dir_ / "files").string();
  if (prep.image)
    prep.file = PrepareImageFile(c.fault, prep.picture, files, index, rng_);
  if (c.op == Op::kPattern)
    prep.file = PreparePatternFile(c.fault, files, index, rng_);
  rec.file_answers.clear();
  if (prep.file.after_dialog)
    rec.after_dialog = prep.file.after_dialog;

  // Audio: random lists, and amplitudes refused from one channel on when the case asks for it.
  prep.refused_channel = c.fault == Fault::kRefusedAmplitude ? Uniform(rng_, 0, 3) : -1;
  if (c.op == Op::kAudio) {
    for (int ch = 0; ch < 4; ++ch) {
      prep.selections[ch] = Uniform(rng_, -1, 28);
      const bool refuse =
          prep.refused_channel >= 0 &&
          (ch == prep.refused_channel || (ch > prep.refused_channel && rng_() % 2 == 0));
      const std::string text = refuse ? RefusedAmplitude(rng_) : AcceptedAmplitude(rng_);
      prep.request.audio.tone_rows[ch] = prep.selections[ch];
      prep.request.audio.amplitudes[ch] = text;
      prep.dbfs[ch] = test::AtofValue(text);
    }
  }
  return prep;
}

void FaultSoak::ArmFault(Session& app, const Case& c, Prepared& prep) {
  // Device faults, armed after start-up so they hit this operation.
  if (c.fault == Fault::kUnplug) {
    // Now and then past the end, so that some of these operations finish untouched.
    const uint64_t at =
        generator_.Wire().size() + Uniform<uint64_t>(rng_, 0, TypicalBytes(c.op) * 21 / 20);
    generator_.SetOption("unplug_after", static_cast<long long>(at));
  }
  if (c.fault == Fault::kNeverReady)
    generator_.SetOption("never_ready", 1);
  if (c.fault == Fault::kNoStatusAnswer)
    generator_.SetOption("mute", 1);
  if (c.fault == Fault::kShrinksDuringTransfer) {
    // After block j of the rows the file still declares, cut it short of its declared end.
    const int declared_rows = !prep.picture ? 72 : prep.file.declared_end == 1036854 ? 480 : 576;
    // The reader may already hold up to 4096 bytes beyond the last row it sent, so the cut comes
    // early enough that rows the file no longer has are still to be read.
    const int after_block = Uniform(rng_, 1, declared_rows - 3);
    const uint64_t cut = Uniform<uint64_t>(rng_, 0, prep.file.declared_end - 1);
    test::Recorder& rec = app.recorder;
    rec.on_pause = [&rec, &cut_during_transfer = prep.cut_during_transfer, after_block, cut,
                    path = *prep.file.answer, scanned = rec.trace.size(), blocks = 0]() mutable {
      if (cut_during_transfer)
        return;
      for (; scanned < rec.trace.size(); ++scanned)
        blocks +=
            test::ParseWrite(rec.trace[scanned]).value_or(test::WireWrite{}).Is({CMD_WRITE_BLOCK});
      if (blocks >= after_block) {
        fs::resize_file(path, cut);
        cut_during_transfer = true;
      }
    };
  }
}

FaultSoak::Ran FaultSoak::Perform(Session& app, const Case& c, const Prepared& prep) {
  test::Recorder& rec = app.recorder;
  const size_t from = rec.trace.size();
  Ran ran;
  ran.outcome = app.Run(prep.request, c.op == Op::kAudio ? std::nullopt : prep.file.answer);
  rec.Sync();
  rec.on_pause = nullptr;
  ran.seen = Observe(rec.trace, from);
  ++tally_[{c.op, c.fault}][ran.outcome];
  return ran;
}

Outcome FaultSoak::Expect(const Case& c, bool connected, const Prepared& prep,
                          const Observed& seen) {
  // What must have happened, from the case alone and the generator's own record of refusals.
  const bool status_fault = c.fault == Fault::kNeverReady || c.fault == Fault::kNoStatusAnswer;
  const bool failed =
      seen.refused_writes > 0 || (connected && status_fault) || prep.cut_during_transfer;
  if (!connected)
    return Outcome::kNotConnected;
  if (failed)
    return Outcome::kFailed;
  if (c.op == Op::kAudio)
    return prep.refused_channel >= 0 ? Outcome::kRefused : Outcome::kCompleted;
  if (!prep.file.answer || !prep.file.opens)
    return Outcome::kLeftErased;
  if (prep.image && !test::ImageAcceptable(prep.file.at_read, prep.picture))
    return Outcome::kRefused;
  return Outcome::kCompleted;
}

void FaultSoak::Check(Session& app, const Case& c, bool connected, const Prepared& prep,
                      const Observed& seen, Outcome expected) {
  // Exactly one box on a failure, the refusal's box on a refusal, none otherwise; the
  // completion box whenever the operation did not fail (audio only when it stored its loop).
  const Lines complete = {"info Download Complete | QVX-5120"};
  if (expected == Outcome::kFailed) {
    const char* what =
        seen.refused_writes > 0 ? "the generator did not accept the data sent to it (is it still "
                                  "connected?)"
        : prep.cut_during_transfer ? "the file became shorter while it was being read"
        : c.fault == Fault::kNoStatusAnswer
            ? "the generator stopped answering (no status for 30 seconds)"
            : "the generator did not report the end of the flash erase";
    EXPECT_EQ(seen.boxes, Lines{"box Download failed: " + std::string(what) + "\n" +
                                SlotInBox(prep.request.slot) + " is incomplete; load it again."});
    EXPECT_EQ(seen.infos, Lines{});
  } else if (expected == Outcome::kRefused) {
    const std::string box = c.op == Op::kAudio
                                ? std::string(prep.refused_channel == 1 ? "CH " : "Ch ") +
                                      std::to_string(prep.refused_channel + 1) +
                                      "'s Amplitude Must be a negative value"
                            : prep.picture ? "Incorrect Picture file format"
                                           : "Incorrect Banner file format";
    EXPECT_EQ(seen.boxes, Lines{"box " + box});
    EXPECT_EQ(seen.infos, c.op == Op::kAudio ? Lines{} : complete);
  } else {
    EXPECT_EQ(seen.boxes, Lines{});
    EXPECT_EQ(seen.infos,
              expected == Outcome::kNotConnected && c.op == Op::kAudio ? Lines{} : complete);
  }

  // The frame is closed, and the generator was taken out of loading mode unless it was gone.
  test::Recorder& rec = app.recorder;
  if (connected) {
    for (int id : control::kDownloadButtons)
      EXPECT_TRUE(rec.enabled[id]) << "button " << id;
    EXPECT_FALSE(rec.wait_cursor);
    // A cancelled image download leaves the bar where the erase left it; a failure clears it.
    if (expected == Outcome::kFailed) {
      ASSERT_FALSE(seen.progress.empty());
      EXPECT_EQ(seen.progress.back(), "progress 0");
    }
    if (c.op == Op::kAudio && expected == Outcome::kRefused) {
      EXPECT_EQ(seen.titles, Lines{});
    } else {
      ASSERT_FALSE(seen.titles.empty());
      EXPECT_EQ(seen.titles.back(), "title " + std::string(kResetTitle));
    }
    ASSERT_FALSE(seen.writes.empty());
    if (seen.refused_writes == 0) {
      EXPECT_TRUE(seen.writes.back().Is({CMD_END_LOAD})) << Hex(seen.writes.back().bytes);
      EXPECT_FALSE(generator_.InLoadingMode());
    } else {
      // Nothing is sent after the first refused write: it is the last write.
      EXPECT_EQ(seen.refused_writes, 1u);
      EXPECT_FALSE(seen.writes.back().Taken()) << Hex(seen.writes.back().bytes);
    }
  } else {
    EXPECT_EQ(seen.writes.size(), 0u);
    for (int id : control::kDownloadButtons)
      EXPECT_FALSE(rec.enabled[id]) << "button " << id;
  }
  const Lines violations = generator_.Violations();
  EXPECT_EQ(violations, Lines{});
}

void FaultSoak::Apply(const Case& c, const Prepared& prep, Outcome outcome) {
  // The model: a failure leaves its slot unknown until the slot is erased again.
  const auto slots = test::AllSlots();
  const Slot& slot = prep.request.slot;
  const size_t slot_index =
      static_cast<size_t>(std::find(slots.begin(), slots.end(), slot) - slots.begin());
  switch (outcome) {
    case Outcome::kNotConnected:
      break;
    case Outcome::kFailed:
      unknown_.insert(slot_index);
      break;
    case Outcome::kLeftErased:
    case Outcome::kRefused:
      test::Erase(expected_, slot);
      unknown_.erase(slot_index);
      break;
    case Outcome::kCompleted:
      if (prep.image) {
        test::PlaceImage(expected_, slot, prep.file.at_read);
      } else if (c.op == Op::kPattern) {
        test::PlacePattern(expected_, slot.number(), prep.file.at_read);
      } else {
        test::PlaceAudio(expected_, prep.selections, prep.dbfs);
      }
      unknown_.erase(slot_index);
      break;
  }
  CheckFlash(std::string(OpName(c.op)) + " on " + test::Describe(slot));

  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(dir_ / "files"))
    fs::remove_all(entry.path(), ignored);
}

void FaultSoak::CheckFlash(const std::string& after) {
  const auto flash = generator_.Flash();
  ASSERT_EQ(flash.size(), expected_.size());
  const auto slots = test::AllSlots();
  for (size_t s = 0; s < slots.size(); ++s) {
    if (unknown_.count(s) != 0)
      continue;
    const test::ByteRange range = test::ErasedBytes(slots[s]);
    for (size_t i = range.begin; i < range.end; ++i) {
      if (flash[i] != expected_[i]) {
        ADD_FAILURE() << "after " << after << ": " << test::Describe(slots[s])
                      << " differs at flash byte 0x" << std::hex << i << ": " << int(flash[i])
                      << ", expected " << int(expected_[i]);
        break;
      }
    }
  }
}

void FaultSoak::PrintTally(uint64_t seed, double seconds) const {
  int total = 0;
  std::cout << "[soak] seed " << seed << ": cases by operation and class, with their outcomes\n";
  for (const auto& [key, outcomes] : tally_) {
    int cases = 0;
    std::string text;
    for (const auto& [outcome, count] : outcomes) {
      cases += count;
      text += std::string(text.empty() ? "" : ", ") + OutcomeName(outcome) + " " +
              std::to_string(count);
    }
    total += cases;
    std::cout << "[soak]   " << OpName(key.first) << " | " << FaultName(key.second) << " | "
              << cases << " | " << text << "\n";
  }
  std::cout << "[soak] " << total << " operations in " << seconds << " s\n";
}

TEST_F(FaultSoak, EveryOperationEndsCleanlyAndTheFlashHoldsWhatCompletedOperationsWrote) {
  const bool ci = std::getenv("CI") != nullptr;
  const uint64_t seed = EnvNumber("QVX_SOAK_SEED", ci ? kCiSeed : std::random_device{}());
  const uint64_t rounds = EnvNumber("QVX_SOAK_ROUNDS", QVX_SOAK_DEFAULT_ROUNDS);
  std::cout << "[soak] seed " << seed << ", " << rounds
            << " rounds; replay with QVX_SOAK_SEED=" << seed << " QVX_SOAK_ROUNDS=" << rounds
            << std::endl;
  SCOPED_TRACE("soak seed " + std::to_string(seed));
  rng_.seed(seed);

  std::vector<Case> cases;
  for (uint64_t r = 0; r < rounds; ++r) {
    const auto round = Round();
    cases.insert(cases.end(), round.begin(), round.end());
  }
  std::shuffle(cases.begin(), cases.end(), rng_);

  const auto start = std::chrono::steady_clock::now();
  size_t next = 0;
  while (next < cases.size() && !HasFailure()) {
    // A new start of the application on the same generator, whose flash lives on.
    generator_.Reset();
    generator_.SetOption("busy_polls", Uniform(rng_, 0, 3));
    if (cases[next].fault == Fault::kAbsent)
      generator_.SetOption("fail_open", 1);
    auto app = std::make_unique<Session>(generator_);
    const int length = Uniform(rng_, 1, kLongestRun);
    for (int i = 0; i < length && next < cases.size() && !HasFailure(); ++i) {
      const Case c = cases[next];
      if (i > 0 && c.fault == Fault::kAbsent)
        break;  // needs a start without the generator
      SCOPED_TRACE("case " + std::to_string(next) + ": " + OpName(c.op) + ", " +
                   FaultName(c.fault));
      RunCase(*app, c, static_cast<int>(next));
      ++next;
      // After a device fault the user restarts the application.
      if (c.fault == Fault::kUnplug || c.fault == Fault::kNeverReady ||
          c.fault == Fault::kNoStatusAnswer || c.fault == Fault::kAbsent) {
        break;
      }
    }
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  PrintTally(seed, elapsed.count());
  EXPECT_EQ(next, cases.size()) << "the soak stopped at its first failing case";
}

}  // namespace
}  // namespace qvx::soak
