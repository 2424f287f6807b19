// The FT245R-type bridge model against what FTDI documents and what a real FT245R sends: its
// descriptors as `lsusb -v` shows them for the chip, the latency timer and the status bytes of
// AN232B-04, and the vendor requests libftdi and ftdi_sio send. Time is given, never waited for.
#include "tests/ft245r/ft245r_bridge.h"

#include <gtest/gtest.h>

#include <chrono>

#include "emulator/text.h"

namespace qvx::ft245r {
namespace {

using std::chrono::milliseconds;
using vg::HexBytes;

constexpr uint8_t kVendorOut = 0x40;
constexpr uint8_t kVendorIn = 0xC0;
constexpr uint8_t kBeginLoad = 0xF0;
constexpr uint8_t kReadStatus = 0xFD;

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bridge.generator().SetStatusBehaviour({.busy_polls = 0});
    bridge.BusReset(t0);
  }

  ControlAnswer Vendor(uint8_t type, uint8_t request, uint16_t value, uint16_t length = 0) {
    return bridge.Control({type, request, value, 1, length}, {}, t0);
  }
  void Send(std::vector<uint8_t> bytes) { ASSERT_EQ(bridge.BulkOut(bytes), bytes.size()); }

  Time t0 = std::chrono::steady_clock::now();
  Bridge bridge{Identity{.product_id = 0x5120, .serial = "QVX00007"}};
};

TEST_F(BridgeTest, DescriptorsAreAnFt245rsWithTheGeneratorsStrings) {
  auto get = [&](uint16_t value, uint16_t length = 255) {
    const auto answer = bridge.Control({0x80, 0x06, value, 0, length}, {}, t0);
    return answer.stall ? std::string("stall") : HexBytes(answer.data);
  };
  // bcdUSB 2.00, bMaxPacketSize0 8, 0403:5120, bcdDevice 6.00, strings 1 2 3, one configuration.
  EXPECT_EQ(get(0x0100), "12 01 00 02 00 00 00 08 03 04 20 51 00 06 01 02 03 01");
  EXPECT_EQ(get(0x0100, 8), "12 01 00 02 00 00 00 08");  // the host's first, short request
  // Bus powered with remote wake-up, 90 mA; interface 0 vendor specific, named by string 2;
  // bulk 0x81 and 0x02 of 64 bytes.
  EXPECT_EQ(get(0x0200),
            "09 02 20 00 01 01 00 A0 2D 09 04 00 00 02 FF FF FF 02 "
            "07 05 81 02 40 00 00 07 05 02 02 40 00 00");
  EXPECT_EQ(get(0x0300), "04 03 09 04");
  EXPECT_EQ(get(0x0301), "0A 03 46 00 54 00 44 00 49 00");  // "FTDI"
  EXPECT_EQ(get(0x0302), "14 03 51 00 56 00 58 00 35 00 31 00 32 00 30 00 49 00 31 00");
  EXPECT_EQ(get(0x0303), "12 03 51 00 56 00 58 00 30 00 30 00 30 00 30 00 37 00");
  // Full speed only: no device qualifier; no fourth string.
  EXPECT_EQ(get(0x0600), "stall");
  EXPECT_EQ(get(0x0304), "stall");
}

TEST_F(BridgeTest, AnIdleChipSendsTheStatusBytesEachLatencyPeriod) {
  EXPECT_EQ(Vendor(kVendorIn, kRequestGetLatency, 0, 1).data, std::vector<uint8_t>{16});
  EXPECT_EQ(bridge.InReadyAt(4096, t0), t0 + milliseconds(16));
  EXPECT_EQ(bridge.InReadyAt(4096, t0 + milliseconds(40)), t0 + milliseconds(40));

  EXPECT_FALSE(Vendor(kVendorOut, kRequestSetLatency, 2).stall);
  EXPECT_EQ(Vendor(kVendorIn, kRequestGetLatency, 0, 1).data, std::vector<uint8_t>{2});
  const Time sent = t0 + milliseconds(2);
  EXPECT_EQ(bridge.InReadyAt(4096, t0), sent);
  EXPECT_EQ(HexBytes(bridge.TakeIn(4096, sent)), "01 60");
  // The timer starts again with each packet sent, answer or not.
  Send({kBeginLoad, kReadStatus});
  EXPECT_EQ(bridge.InReadyAt(4096, sent), sent + milliseconds(2));
  EXPECT_EQ(HexBytes(bridge.TakeIn(4096, sent + milliseconds(2))), "01 60 01");
  EXPECT_EQ(HexBytes(Vendor(kVendorIn, kRequestPollModemStatus, 0, 2).data), "01 60");
}

TEST_F(BridgeTest, AnswersTravelInPacketsOfTwoStatusBytesAndUpToSixtyTwoDataBytes) {
  std::vector<uint8_t> polls(1 + 150, kReadStatus);
  polls[0] = kBeginLoad;
  Send(polls);
  const auto got = bridge.TakeIn(4096, t0 + milliseconds(16));
  ASSERT_EQ(got.size(), 64u + 64u + 2u + 26u);  // 62 + 62 + 26 answers; the short packet ends it
  for (size_t packet : {0, 64, 128})
    EXPECT_EQ(HexBytes({&got[packet], 2}), "01 60") << packet;

  // Enough waiting to fill a whole transfer with full packets: it completes at once.
  std::vector<uint8_t> more(124, kReadStatus);
  Send(more);
  EXPECT_EQ(bridge.InReadyAt(128, t0), t0);
  EXPECT_EQ(bridge.TakeIn(128, t0).size(), 128u);
  EXPECT_GT(bridge.InReadyAt(128, t0), t0);
}

TEST_F(BridgeTest, PurgesEmptyTheTransmitBufferAndOtherRequestsAreTakenOrStalled) {
  Send({kBeginLoad, kReadStatus, kReadStatus});
  EXPECT_FALSE(Vendor(kVendorOut, kRequestReset, kPurgeReceive).stall);
  EXPECT_EQ(bridge.generator().QueuedAnswers(), 2u);  // host-to-chip only
  EXPECT_FALSE(Vendor(kVendorOut, kRequestReset, kPurgeTransmit).stall);
  EXPECT_EQ(bridge.generator().QueuedAnswers(), 0u);
  Send({kReadStatus});
  EXPECT_FALSE(Vendor(kVendorOut, kRequestReset, kResetChip).stall);
  EXPECT_EQ(bridge.generator().QueuedAnswers(), 0u);

  // libftdi's open: baud rate, line settings, flow control, modem lines, bit mode.
  for (uint8_t request : {kRequestSetBaudRate, kRequestSetData, kRequestSetFlowControl,
                          kRequestModemControl, kRequestSetBitMode, kRequestSetEventChar})
    EXPECT_FALSE(Vendor(kVendorOut, request, 0).stall) << int{request};
  // EEPROM reads (ftdi_sio's GPIO set-up) and pin reads are not modelled.
  EXPECT_TRUE(Vendor(kVendorIn, 0x90, 0, 2).stall);
  EXPECT_TRUE(Vendor(kVendorIn, 0x0C, 0, 1).stall);
}

TEST_F(BridgeTest, APulledChipTakesTheBytesUpToItsLimitAndNothingMore) {
  bridge.SetUnplugAfter(3);
  const std::vector<uint8_t> bytes{kBeginLoad, kReadStatus, kReadStatus, kReadStatus};
  EXPECT_EQ(bridge.BulkOut(bytes), 3u);
  EXPECT_TRUE(bridge.gone());
  EXPECT_EQ(HexBytes(bridge.wire()), "F0 FD FD");
  EXPECT_EQ(bridge.BulkOut(bytes), 0u);
  EXPECT_TRUE(Vendor(kVendorIn, kRequestGetLatency, 0, 1).stall);
}

}  // namespace
}  // namespace qvx::ft245r
