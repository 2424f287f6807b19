// Robustness of the stream parser: seeded random streams, rich in command bytes and cut at random
// places, never crash the device, never grow or leave the flash, and are accepted byte for byte.
#include <random>

#include "tests/emulator/emu_fixture.h"

namespace qvx::test {
namespace {

class EmuParser : public EmuTest, public ::testing::WithParamInterface<unsigned> {};

std::vector<uint8_t> RandomStream(std::mt19937& rng, size_t size) {
  static constexpr uint8_t kCommands[] = {kBeginLoad,    kSetAddress, kEraseSector, kWriteBlock,
                                          kWritePattern, kReadStatus, kFinishWrite, kEndLoad};
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> pick(0, 7);
  std::vector<uint8_t> stream(size);
  for (auto& b : stream) {
    b = byte(rng) < 96 ? kCommands[pick(rng)] : static_cast<uint8_t>(byte(rng));
  }
  return stream;
}

TEST_P(EmuParser, RandomStreamsAreAcceptedWhole) {
  std::mt19937 rng(GetParam());
  vg_.SetOption("busy_polls", 1);
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  const auto stream = RandomStream(rng, 400000);
  std::uniform_int_distribution<size_t> chunk(1, 5000);
  size_t sent = 0;
  while (sent < stream.size()) {
    const size_t n = std::min(chunk(rng), stream.size() - sent);
    d2xx::Dword written = 0;
    ASSERT_EQ(host_.Write({stream.begin() + sent, stream.begin() + sent + n}, &written),
              d2xx::FT_OK);
    ASSERT_EQ(written, n);
    sent += n;
    if (chunk(rng) % 4 == 0) {
      uint8_t answers[16];
      d2xx::Dword got = 0;
      ASSERT_EQ(host_.FT_Read(host_.handle, answers, sizeof answers, &got), d2xx::FT_OK);
      for (d2xx::Dword i = 0; i < got; ++i)
        ASSERT_LE(answers[i], 1) << "status is 0 or 1";
    }
  }
  ASSERT_EQ(vg_.Flash().size(), 4u * 1024 * 1024);
  ASSERT_TRUE(std::equal(stream.begin(), stream.end(), vg_.Wire().begin(), vg_.Wire().end()));

  // Every violation names a position inside the stream, in stream order.
  const auto violations = vg_.Violations();
  ASSERT_FALSE(violations.empty());
  unsigned long long last = 0;
  for (const auto& v : violations) {
    const auto at = v.rfind(" at wire offset ");
    ASSERT_NE(at, std::string::npos) << v;
    const unsigned long long offset = std::stoull(v.substr(at + 16));
    ASSERT_LT(offset, stream.size()) << v;
    ASSERT_GE(offset, last) << v;
    last = offset;
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, EmuParser, ::testing::Values(1u, 2u, 3u, 20240607u));

}  // namespace
}  // namespace qvx::test
