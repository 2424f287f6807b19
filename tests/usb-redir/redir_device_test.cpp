// The usbredir unit over a socket pair, with QEMU's side played by the same protocol library in
// its guest role: what QEMU needs to attach the device to an xHCI port, control and bulk transfers
// answered as the FT245R model answers them, a cancelled read, and the stream a pulled chip leaves
// unanswered.
#include "tests/usb-redir/redir_device.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "emulator/text.h"

namespace qvx::usbredir {
namespace {

using vg::HexBytes;

struct Reply {
  uint8_t status = 0;
  std::vector<uint8_t> data;
};

// QEMU's end of the stream.
class Guest {
 public:
  explicit Guest(int fd) : fd_(fd) {
    parser_ = usbredirparser_create();
    parser_->priv = this;
    parser_->read_func = [](void* priv, uint8_t* data, int count) {
      const ssize_t got = recv(Of(priv).fd_, data, static_cast<size_t>(count), MSG_DONTWAIT);
      return got > 0 ? static_cast<int>(got) : got == 0 ? -1 : 0;
    };
    parser_->write_func = [](void* priv, uint8_t* data, int count) {
      return static_cast<int>(send(Of(priv).fd_, data, static_cast<size_t>(count), 0));
    };
    parser_->log_func = [](void*, int, const char*) {};
    parser_->hello_func = [](void*, usb_redir_hello_header*) {};
    parser_->device_connect_func = [](void* priv, usb_redir_device_connect_header* header) {
      Of(priv).device = *header;
    };
    parser_->interface_info_func = [](void* priv, usb_redir_interface_info_header* header) {
      Of(priv).interfaces = *header;
    };
    parser_->ep_info_func = [](void* priv, usb_redir_ep_info_header* header) {
      Of(priv).endpoints = *header;
    };
    parser_->configuration_status_func = [](void* priv, uint64_t id,
                                            usb_redir_configuration_status_header* header) {
      Of(priv).replies[id] = {header->status, {header->configuration}};
    };
    parser_->control_packet_func =
        [](void* priv, uint64_t id, usb_redir_control_packet_header* header, uint8_t* data,
           int length) { Of(priv).Record(id, header->status, data, length); };
    parser_->bulk_packet_func = [](void* priv, uint64_t id, usb_redir_bulk_packet_header* header,
                                   uint8_t* data, int length) {
      Of(priv).Record(id, header->status, data, length);
    };
    uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
    for (int cap : {usb_redir_cap_connect_device_version, usb_redir_cap_ep_info_max_packet_size,
                    usb_redir_cap_64bits_ids, usb_redir_cap_32bits_bulk_length})
      usbredirparser_caps_set_cap(caps, cap);
    usbredirparser_init(parser_, "test guest", caps, USB_REDIR_CAPS_SIZE, 0);
  }
  ~Guest() { usbredirparser_destroy(parser_); }

  void Control(uint64_t id, uint8_t type, uint8_t request, uint16_t value, uint16_t index,
               uint16_t length) {
    usb_redir_control_packet_header header{0, request, type, 0, value, index, length};
    header.endpoint = type & 0x80;
    usbredirparser_send_control_packet(parser_, id, &header, nullptr, 0);
  }
  void Bulk(uint64_t id, uint8_t endpoint, std::vector<uint8_t> out, uint16_t in_length = 0) {
    usb_redir_bulk_packet_header header{};
    header.endpoint = endpoint;
    header.length = out.empty() ? in_length : static_cast<uint16_t>(out.size());
    usbredirparser_send_bulk_packet(parser_, id, &header, out.empty() ? nullptr : out.data(),
                                    static_cast<int>(out.size()));
  }
  void SetConfiguration(uint64_t id, uint8_t value) {
    usb_redir_set_configuration_header header{value};
    usbredirparser_send_set_configuration(parser_, id, &header);
  }
  void Cancel(uint64_t id) { usbredirparser_send_cancel_data_packet(parser_, id); }
  void Pump() {
    usbredirparser_do_write(parser_);
    usbredirparser_do_read(parser_);
  }

  // The protocol's headers are packed; kept here at the alignment of their widest fields, so that
  // the checks, which take the fields by reference, read each one where its type may be read.
  alignas(4) std::optional<usb_redir_device_connect_header> device;
  alignas(4) usb_redir_interface_info_header interfaces{};
  alignas(4) usb_redir_ep_info_header endpoints{};
  std::map<uint64_t, Reply> replies;

 private:
  static Guest& Of(void* priv) { return *static_cast<Guest*>(priv); }
  void Record(uint64_t id, uint8_t status, uint8_t* data, int length) {
    replies[id] = {status, std::vector<uint8_t>(data, data + length)};
    usbredirparser_free_packet_data(parser_, data);
  }

  int fd_;
  usbredirparser* parser_;
};

class RedirDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    device_fd = fds[0];
    guest_fd = fds[1];
    device.emplace(device_fd, ft245r::Identity{.product_id = 0x5120, .serial = "QVX00009"},
                   [this](const std::string& line) { log.push_back(line); });
    device->chip().generator().SetStatusBehaviour({.busy_polls = 0});
    guest.emplace(guest_fd);
  }
  void TearDown() override {
    guest.reset();
    device.reset();
    close(device_fd);
    close(guest_fd);
  }

  // Both ends take turns until `done` holds, for at most `most`.
  template <typename Done>
  bool PumpUntil(Done done, std::chrono::milliseconds most = std::chrono::seconds(2)) {
    const auto limit = std::chrono::steady_clock::now() + most;
    while (!done() && std::chrono::steady_clock::now() < limit) {
      guest->Pump();
      device->Read();
      device->Poll();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
  }
  bool Answered(uint64_t id, std::chrono::milliseconds most = std::chrono::seconds(2)) {
    return PumpUntil([&] { return guest->replies.count(id) == 1; }, most);
  }

  int device_fd = -1;
  int guest_fd = -1;
  std::vector<std::string> log;
  std::optional<RedirDevice> device;
  std::optional<Guest> guest;
};

TEST_F(RedirDeviceTest, AttachesAsAFullSpeedFtdiBridgeAndAnswersTransfersAsTheChipDoes) {
  ASSERT_TRUE(PumpUntil([&] { return guest->device.has_value(); }));
  EXPECT_EQ(guest->device->speed, usb_redir_speed_full);
  EXPECT_EQ(guest->device->vendor_id, 0x0403);
  EXPECT_EQ(guest->device->product_id, 0x5120);
  EXPECT_EQ(guest->device->device_version_bcd, 0x0600);
  EXPECT_EQ(guest->interfaces.interface_count, 1u);
  EXPECT_EQ(guest->interfaces.interface_class[0], 0xFF);
  // Slots: 0 and 16 endpoint 0, 2 bulk out 0x02, 17 bulk in 0x81.
  EXPECT_EQ(guest->endpoints.type[0], usb_redir_type_control);
  EXPECT_EQ(guest->endpoints.type[2], usb_redir_type_bulk);
  EXPECT_EQ(guest->endpoints.type[17], usb_redir_type_bulk);
  EXPECT_EQ(guest->endpoints.max_packet_size[17], 64);
  EXPECT_EQ(guest->endpoints.type[1], usb_redir_type_invalid);

  guest->Control(1, 0x80, 0x06, 0x0303, 0x0409, 255);  // the serial number
  guest->SetConfiguration(2, 1);
  guest->Control(3, 0x40, 0x09, 2, 1, 0);  // latency timer 2 ms
  guest->Control(4, 0xC0, 0x90, 0, 0, 2);  // EEPROM word 0
  ASSERT_TRUE(Answered(4));
  EXPECT_EQ(HexBytes(guest->replies[1].data),
            "12 03 51 00 56 00 58 00 30 00 30 00 30 00 30 00 39 00");
  EXPECT_EQ(guest->replies[2].status, usb_redir_success);
  EXPECT_EQ(guest->replies[2].data, std::vector<uint8_t>{1});
  EXPECT_EQ(guest->replies[3].status, usb_redir_success);
  EXPECT_EQ(guest->replies[4].status, usb_redir_stall);

  guest->Bulk(5, 0x02, {0xF0, 0xFD});
  guest->Bulk(6, 0x81, {}, 4096);
  ASSERT_TRUE(Answered(6));
  EXPECT_EQ(guest->replies[5].status, usb_redir_success);
  EXPECT_EQ(HexBytes(guest->replies[6].data), "01 60 01");
  guest->Bulk(7, 0x81, {}, 4096);
  ASSERT_TRUE(Answered(7));
  EXPECT_EQ(HexBytes(guest->replies[7].data), "01 60");  // nothing waiting: the status bytes

  // A read the chip holds for its latency timer, cancelled by the host meanwhile.
  guest->Control(8, 0x40, 0x09, 255, 1, 0);
  guest->Bulk(9, 0x81, {}, 4096);
  guest->Cancel(9);
  ASSERT_TRUE(Answered(9));
  EXPECT_EQ(guest->replies[9].status, usb_redir_cancelled);
  EXPECT_TRUE(guest->replies[9].data.empty());
  EXPECT_EQ(HexBytes(device->chip().wire()), "F0 FD");
}

TEST_F(RedirDeviceTest, APulledChipLeavesTheTransferUnanswered) {
  ASSERT_TRUE(PumpUntil([&] { return guest->device.has_value(); }));
  device->chip().SetUnplugAfter(3);
  guest->Bulk(1, 0x02, {0xF0, 0xFD});
  ASSERT_TRUE(Answered(1));
  guest->Bulk(2, 0x02, {0xFD, 0xFD});
  EXPECT_TRUE(PumpUntil([&] { return device->gone(); }));
  EXPECT_FALSE(Answered(2, std::chrono::milliseconds(100)));
  EXPECT_EQ(HexBytes(device->chip().wire()), "F0 FD FD");
}

}  // namespace
}  // namespace qvx::usbredir
