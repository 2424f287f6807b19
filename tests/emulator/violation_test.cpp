// Protocol violations: commands outside loading mode and unknown command bytes are recorded with
// their position in the host's byte stream, and never stop the device.
#include "tests/emulator/emu_fixture.h"

namespace qvx::test {
namespace {

using EmuViolations = EmuTest;

TEST_F(EmuViolations, LoadingModeBracketsAreFreeAtAnyTime) {
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  EXPECT_FALSE(vg_.InLoadingMode());
  host_.Write({kEndLoad});
  EXPECT_FALSE(vg_.InLoadingMode());
  host_.Write({kBeginLoad});
  EXPECT_TRUE(vg_.InLoadingMode());
  host_.Write({kBeginLoad});
  EXPECT_TRUE(vg_.InLoadingMode());
  host_.Write({kEndLoad, kEndLoad});
  EXPECT_FALSE(vg_.InLoadingMode());
  EXPECT_TRUE(vg_.Violations().empty());
}

TEST_F(EmuViolations, EveryOtherCommandOutsideLoadingModeIsRecordedAndStillCarriedOut) {
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  host_.SetAddress(0x002000);                 // offset 0
  host_.Write({kEraseSector});                // 4
  host_.Write({kReadStatus});                 // 5
  host_.Block(EmuHost::FilledBlock(0x33));    // 6
  host_.Pattern(Bytes(kPatternBytes, 0x00));  // 1543
  host_.Write({kFinishWrite});                // 4424
  host_.Write({kBeginLoad, kEndLoad, kFinishWrite});
  EXPECT_EQ(vg_.Violations(), (std::vector<std::string>{
                                  "command F4 outside loading mode at wire offset 0",
                                  "command F6 outside loading mode at wire offset 4",
                                  "command FD outside loading mode at wire offset 5",
                                  "command F8 outside loading mode at wire offset 6",
                                  "command F9 outside loading mode at wire offset 1543",
                                  "command FE outside loading mode at wire offset 4424",
                                  "command FE outside loading mode at wire offset 4427",
                              }));
  EXPECT_EQ(Units(0x002000, 720), Bytes(1440, 0x33));
  EXPECT_EQ(Units(0x002000 + 720, 1440), Bytes(kPatternBytes, 0x00));
}

TEST_F(EmuViolations, UnknownCommandBytes) {
  OpenLoading();
  host_.Write({0x00, 0x12});
  host_.Write({0xF1, kEndLoad, 0xFC});
  EXPECT_EQ(vg_.Violations(), (std::vector<std::string>{
                                  "unknown command byte 00 at wire offset 1",
                                  "unknown command byte 12 at wire offset 2",
                                  "unknown command byte F1 at wire offset 3",
                                  "unknown command byte FC at wire offset 5",
                              }));
  EXPECT_FALSE(vg_.InLoadingMode());
}

TEST_F(EmuViolations, DataBytesAreNeverTakenForCommands) {
  OpenLoading();
  // An address whose bytes look like commands, then a block full of command bytes.
  host_.Write({kSetAddress, 0x00, 0xF0, 0xFF});
  auto block = EmuHost::FilledBlock(0xFF);
  host_.Block(block);
  EXPECT_TRUE(vg_.InLoadingMode());
  EXPECT_TRUE(vg_.Violations().empty());
  host_.Write({kSetAddress, 0x00, 0xF0, 0xFF});
  host_.Block(EmuHost::FilledBlock(0xF6));
  EXPECT_EQ(Units(0x00F0FF, 720), Bytes(1440, 0xF6));
}

}  // namespace
}  // namespace qvx::test
