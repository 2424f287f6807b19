// The emulated NOR flash as the host reaches it: programming clears bits, erases clear whole
// sectors of the chip's layout, blocks and patterns land where the address counter points.
#include <numeric>

#include "tests/emulator/emu_fixture.h"

namespace qvx::test {
namespace {

using EmuFlash = EmuTest;

constexpr uint32_t kEndUnit = 0x200000;

// Every sector start of the chip, and the end of the chip.
std::vector<uint32_t> SectorBoundaries() {
  std::vector<uint32_t> bounds = {0x000000, 0x002000, 0x003000, 0x004000};
  for (uint32_t n = 1; n <= 63; ++n)
    bounds.push_back(n * 0x8000);
  bounds.push_back(kEndUnit);
  return bounds;
}

// Programs every byte of the flash to 0x00 with blocks, without a violation.
void ZeroWholeFlash(EmuHost& host) {
  host.SetAddress(0);
  const auto zero = EmuHost::FilledBlock(0x00);
  for (uint32_t unit = 0; unit + 720 <= kEndUnit; unit += 720)
    host.Block(zero);
  host.SetAddress(kEndUnit - 720);
  host.Block(zero);
}

TEST_F(EmuFlash, StartsErasedAtFourMebibytes) {
  const auto flash = vg_.Flash();
  ASSERT_EQ(flash.size(), 4u * 1024 * 1024);
  EXPECT_EQ(std::count(flash.begin(), flash.end(), 0xFF), static_cast<long>(flash.size()));
}

TEST_F(EmuFlash, ProgrammingClearsBitsAndRaisingOneIsAViolation) {
  OpenLoading();
  host_.SetAddress(0x010000);
  host_.Block(EmuHost::FilledBlock(0x5A));
  EXPECT_EQ(Units(0x010000, 720), Bytes(1440, 0x5A));
  EXPECT_EQ(ByteAt(0x020000 - 1), 0xFF);
  EXPECT_EQ(ByteAt(0x020000 + 1440), 0xFF);
  EXPECT_TRUE(vg_.Violations().empty());

  const size_t offset = vg_.Wire().size();
  host_.SetAddress(0x010000);
  host_.Block(EmuHost::FilledBlock(0x0F));
  EXPECT_EQ(Units(0x010000, 720), Bytes(1440, 0x0A)) << "0x5A & 0x0F";
  EXPECT_EQ(vg_.Violations(),
            std::vector<std::string>{"block at 010000 programs 0 bits to 1 in 1440 bytes, first at "
                                     "byte 020000 at wire offset " +
                                     std::to_string(offset + 4)});
}

TEST_F(EmuFlash, ProgrammingOnlyClearedBitsAgainIsNoViolation) {
  OpenLoading();
  host_.SetAddress(0x008000);
  host_.Block(EmuHost::FilledBlock(0xF0));
  host_.SetAddress(0x008000);
  host_.Block(EmuHost::FilledBlock(0x30));
  EXPECT_EQ(Units(0x008000, 720), Bytes(1440, 0x30));
  EXPECT_TRUE(vg_.Violations().empty());
}

TEST_F(EmuFlash, EraseExtentsAtTheBootSectorsAndTheLastSector) {
  OpenLoading();
  ZeroWholeFlash(host_);
  host_.Erase(0x000000);
  EXPECT_EQ(ByteAt(2 * 0x000000), 0xFF);
  EXPECT_EQ(ByteAt(2 * 0x002000 - 1), 0xFF);
  EXPECT_EQ(ByteAt(2 * 0x002000), 0x00) << "0x000000 clears up to 0x002000 only";

  host_.Erase(0x004000);
  EXPECT_EQ(ByteAt(2 * 0x004000 - 1), 0x00);
  EXPECT_EQ(ByteAt(2 * 0x004000), 0xFF);
  EXPECT_EQ(ByteAt(2 * 0x008000 - 1), 0xFF);
  EXPECT_EQ(ByteAt(2 * 0x008000), 0x00) << "0x004000 clears up to 0x008000";

  host_.Erase(0x1F8000);
  EXPECT_EQ(ByteAt(2 * 0x1F8000 - 1), 0x00);
  EXPECT_EQ(Units(0x1F8000, 0x8000), Bytes(0x10000, 0xFF)) << "0x1F8000 clears to the end";
  EXPECT_TRUE(vg_.Violations().empty());
}

TEST_F(EmuFlash, EverySectorStartClearsExactlyUpToTheNextStart) {
  OpenLoading();
  ZeroWholeFlash(host_);
  const auto bounds = SectorBoundaries();
  for (size_t i = 0; i + 1 < bounds.size(); ++i) {
    host_.Erase(bounds[i]);
    // Erasing in ascending order: everything below the next start is erased, nothing above.
    const auto flash = vg_.Flash();
    const size_t erased_end = size_t{bounds[i + 1]} * 2;
    ASSERT_EQ(std::count(flash.begin(), flash.begin() + erased_end, 0xFF),
              static_cast<long>(erased_end))
        << "sector at " << std::hex << bounds[i];
    ASSERT_EQ(std::count(flash.begin() + erased_end, flash.end(), 0x00),
              static_cast<long>(flash.size() - erased_end))
        << "sector at " << std::hex << bounds[i];
  }
  EXPECT_TRUE(vg_.Violations().empty());
}

TEST_F(EmuFlash, RestartLeavesTheWholeChipErasedWhateverWasWrittenAndErased) {
  OpenLoading();
  // Blocks in two sectors far apart, one of them erased again in between, and a pattern at the end.
  host_.SetAddress(0x000800);
  host_.Block(EmuHost::FilledBlock(0x00));
  host_.SetAddress(0x1F0000);
  host_.Block(EmuHost::FilledBlock(0x10));
  host_.Erase(0x000000);
  host_.SetAddress(0x1FFE00);
  host_.Pattern(Bytes(kPatternBytes, 0x21));
  EXPECT_EQ(Units(0x1F0000, 720), Bytes(1440, 0x10));
  vg_.Restart();
  const auto flash = vg_.Flash();
  EXPECT_EQ(std::count(flash.begin(), flash.end(), 0xFF), static_cast<long>(flash.size()));
  // And again after content that an erase only partly covers.
  host_.Write({kBeginLoad});
  host_.SetAddress(0x067F00);
  host_.Block(EmuHost::FilledBlock(0x00));
  host_.Block(EmuHost::FilledBlock(0x00));
  host_.Erase(0x068000);
  EXPECT_EQ(Units(0x067F00, 256), Bytes(512, 0x00));
  EXPECT_EQ(Units(0x068000, 720), Bytes(1440, 0xFF));
  vg_.Restart();
  const auto again = vg_.Flash();
  EXPECT_EQ(std::count(again.begin(), again.end(), 0xFF), static_cast<long>(again.size()));
}

TEST_F(EmuFlash, EraseAtANonStartAddressErasesNothing) {
  OpenLoading();
  host_.SetAddress(0x000800);
  host_.Block(EmuHost::FilledBlock(0x00));
  const size_t offset = vg_.Wire().size();
  host_.Erase(0x001000);
  host_.Erase(0x00C000);
  EXPECT_EQ(Units(0x000800, 720), Bytes(1440, 0x00));
  EXPECT_EQ(vg_.Violations(), (std::vector<std::string>{
                                  "erase at 001000, which is not a sector start at wire offset " +
                                      std::to_string(offset + 4),
                                  "erase at 00C000, which is not a sector start at wire offset " +
                                      std::to_string(offset + 9),
                              }));
}

TEST_F(EmuFlash, ConsecutiveBlocksAfterOneAddressLand720UnitsApart) {
  OpenLoading();
  host_.SetAddress(0x068000);
  host_.Block(EmuHost::FilledBlock(0x11));
  host_.Block(EmuHost::FilledBlock(0x22));
  EXPECT_EQ(ByteAt(2 * 0x068000 - 1), 0xFF);
  EXPECT_EQ(Units(0x068000, 720), Bytes(1440, 0x11));
  EXPECT_EQ(Units(0x068000 + 720, 720), Bytes(1440, 0x22));
  EXPECT_EQ(ByteAt(2 * (0x068000 + 1440)), 0xFF) << "the padding is never stored";
  EXPECT_TRUE(vg_.Violations().empty());
}

TEST_F(EmuFlash, CommandsMayStraddleWrites) {
  OpenLoading();
  std::vector<uint8_t> block(kBlockBytes, 0);
  std::iota(block.begin(), block.begin() + 1440, uint8_t{0});
  std::vector<uint8_t> stream = {kSetAddress, 0x06, 0x80, 0x00, kWriteBlock};
  stream.insert(stream.end(), block.begin(), block.end());
  stream.push_back(kEndLoad);
  // Cut the stream at odd places: inside the address, right after the command, inside the block.
  const std::vector<size_t> cuts = {2, 5, 6, 700, stream.size()};
  size_t from = 0;
  for (const size_t to : cuts) {
    host_.Write({stream.begin() + from, stream.begin() + to});
    from = to;
  }
  EXPECT_EQ(Units(0x068000, 720), std::vector<uint8_t>(block.begin(), block.begin() + 1440));
  EXPECT_FALSE(vg_.InLoadingMode());
  EXPECT_TRUE(vg_.Violations().empty());
}

TEST_F(EmuFlash, NonZeroPaddingIsAViolation) {
  OpenLoading();
  host_.SetAddress(0x070000);
  auto block = EmuHost::FilledBlock(0x40);
  block[1500] = 0x07;
  block[1535] = 0x01;
  const size_t offset = vg_.Wire().size();
  host_.Block(block);
  EXPECT_EQ(Units(0x070000, 720), Bytes(1440, 0x40));
  EXPECT_EQ(Units(0x070000 + 720, 48), Bytes(96, 0xFF));
  EXPECT_EQ(vg_.Violations(), std::vector<std::string>{"non-zero padding 07 at block byte 1500 at "
                                                       "wire offset " +
                                                       std::to_string(offset)});
}

TEST_F(EmuFlash, PatternsStoreAll2880BytesAndAdvance1440Units) {
  OpenLoading();
  std::vector<uint8_t> first(kPatternBytes);
  std::iota(first.begin(), first.end(), uint8_t{3});
  host_.SetAddress(0x003000);
  host_.Pattern(first);
  host_.Pattern(Bytes(kPatternBytes, 0x66));
  EXPECT_EQ(Units(0x003000, 1440), first);
  EXPECT_EQ(Units(0x003000 + 1440, 1440), Bytes(kPatternBytes, 0x66));
  EXPECT_EQ(ByteAt(2 * (0x003000 + 2880)), 0xFF);
  host_.Write({kFinishWrite});
  EXPECT_TRUE(vg_.Violations().empty());
}

TEST_F(EmuFlash, WritesPastTheEndStoreWhatFitsAndAreViolations) {
  OpenLoading();
  host_.SetAddress(0x200000);
  host_.SetAddress(0xFFFFFF);
  host_.Block(EmuHost::FilledBlock(0x00));
  host_.SetAddress(0x1FFF00);  // 256 units = 512 bytes left
  host_.Block(EmuHost::FilledBlock(0x12));
  host_.SetAddress(0x1FFE00);  // 512 units = 1024 bytes left
  host_.Pattern(Bytes(kPatternBytes, 0x21));
  const auto flash = vg_.Flash();
  ASSERT_EQ(flash.size(), 4u * 1024 * 1024);
  EXPECT_EQ(Units(0x1FFE00, 256), Bytes(512, 0x21));
  EXPECT_EQ(Units(0x1FFF00, 256), Bytes(512, 0x21 & 0x12));
  EXPECT_EQ(std::count(flash.begin(), flash.end(), 0xFF), static_cast<long>(flash.size() - 1024));
  EXPECT_EQ(vg_.Violations(), (std::vector<std::string>{
                                  "address 200000 past the end of flash at wire offset 1",
                                  "address FFFFFF past the end of flash at wire offset 5",
                                  "block at FFFFFF reaches past the end of flash at wire offset 9",
                                  "block at 1FFF00 reaches past the end of flash at wire offset "
                                  "1550",
                                  "pattern at 1FFE00 reaches past the end of flash at wire "
                                  "offset 3091",
                                  "pattern at 1FFE00 programs 0 bits to 1 in 512 bytes, first at "
                                  "byte 3FFE00 at wire offset 3091",
                              }));
}

}  // namespace
}  // namespace qvx::test
