#include "tests/usb-redir/redir_device.h"

#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <span>
#include <vector>

#include "emulator/text.h"

namespace qvx::usbredir {
namespace {

using Clock = std::chrono::steady_clock;
using vg::Format;

// The endpoint's slot in usbredir's per-endpoint tables: OUT endpoints 0 to 15, IN 16 to 31.
constexpr int Slot(uint8_t endpoint) {
  return ((endpoint & 0x80) >> 3) | (endpoint & 0x0F);
}

int ReadStream(void* priv, uint8_t* data, int count) {
  const int fd = *static_cast<int*>(priv);
  const ssize_t got = recv(fd, data, static_cast<size_t>(count), 0);
  if (got > 0)
    return static_cast<int>(got);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
    return 0;
  return -1;  // closed by the peer, or broken
}

int WriteStream(void* priv, uint8_t* data, int count) {
  const int fd = *static_cast<int*>(priv);
  const ssize_t sent = send(fd, data, static_cast<size_t>(count), MSG_NOSIGNAL);
  if (sent >= 0)
    return static_cast<int>(sent);
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

}  // namespace

RedirDevice::RedirDevice(int fd, ft245r::Identity identity,
                         std::function<void(const std::string&)> log)
    : fd_(fd), chip_(std::move(identity)), log_(std::move(log)) {
  chip_.BusReset(Clock::now());
  parser_ = usbredirparser_create();
  parser_->priv = this;
  parser_->read_func = [](void* priv, uint8_t* data, int count) {
    auto& self = Of(priv);
    const int got = ReadStream(&self.fd_, data, count);
    self.broken_ = self.broken_ || got < 0;
    return got;
  };
  parser_->write_func = [](void* priv, uint8_t* data, int count) {
    auto& self = Of(priv);
    const int sent = WriteStream(&self.fd_, data, count);
    self.broken_ = self.broken_ || sent < 0;
    return sent;
  };
  parser_->log_func = [](void* priv, int level, const char* message) {
    if (level <= usbredirparser_warning)
      Of(priv).Log(Format("usbredir: %s", message));
  };
  parser_->hello_func = [](void* priv, usb_redir_hello_header*) { Of(priv).Connect(); };
  parser_->reset_func = [](void* priv) {
    auto& self = Of(priv);
    self.chip_.BusReset(Clock::now());
    self.pending_in_.clear();
    self.Log("reset");
  };
  parser_->set_configuration_func = [](void* priv, uint64_t id,
                                       usb_redir_set_configuration_header* header) {
    auto& self = Of(priv);
    const bool ok = self.chip_.SetConfiguration(header->configuration);
    usb_redir_configuration_status_header status{
        static_cast<uint8_t>(ok ? usb_redir_success : usb_redir_stall), self.chip_.configuration()};
    usbredirparser_send_configuration_status(self.parser_, id, &status);
    self.Log(Format("set configuration %u -> %d", header->configuration, status.status));
  };
  parser_->get_configuration_func = [](void* priv, uint64_t id) {
    auto& self = Of(priv);
    usb_redir_configuration_status_header status{usb_redir_success, self.chip_.configuration()};
    usbredirparser_send_configuration_status(self.parser_, id, &status);
  };
  parser_->set_alt_setting_func = [](void* priv, uint64_t id,
                                     usb_redir_set_alt_setting_header* header) {
    auto& self = Of(priv);
    const bool ok = header->interface == 0 && header->alt == 0;
    usb_redir_alt_setting_status_header status{
        static_cast<uint8_t>(ok ? usb_redir_success : usb_redir_stall), header->interface, 0};
    usbredirparser_send_alt_setting_status(self.parser_, id, &status);
  };
  parser_->get_alt_setting_func = [](void* priv, uint64_t id,
                                     usb_redir_get_alt_setting_header* header) {
    auto& self = Of(priv);
    usb_redir_alt_setting_status_header status{
        static_cast<uint8_t>(header->interface == 0 ? usb_redir_success : usb_redir_stall),
        header->interface, 0};
    usbredirparser_send_alt_setting_status(self.parser_, id, &status);
  };
  parser_->control_packet_func = [](void* priv, uint64_t id,
                                    usb_redir_control_packet_header* header, uint8_t* data,
                                    int length) { Of(priv).OnControl(id, header, data, length); };
  parser_->bulk_packet_func = [](void* priv, uint64_t id, usb_redir_bulk_packet_header* header,
                                 uint8_t* data,
                                 int length) { Of(priv).OnBulk(id, header, data, length); };
  parser_->cancel_data_packet_func = [](void* priv, uint64_t id) { Of(priv).OnCancel(id); };

  // What QEMU needs to put a redirected device on an xHCI port; no buffered bulk receiving, so
  // that every guest transfer arrives as a transfer of its own, as on a wire.
  uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
  usbredirparser_caps_set_cap(caps, usb_redir_cap_connect_device_version);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_ep_info_max_packet_size);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_64bits_ids);
  usbredirparser_caps_set_cap(caps, usb_redir_cap_32bits_bulk_length);
  usbredirparser_init(parser_, "qvx5120 usbredir unit", caps, USB_REDIR_CAPS_SIZE,
                      usbredirparser_fl_usb_host);
}

RedirDevice::~RedirDevice() {
  usbredirparser_destroy(parser_);
}

void RedirDevice::Connect() {
  usb_redir_interface_info_header interfaces{};
  interfaces.interface_count = 1;
  interfaces.interface[0] = 0;
  interfaces.interface_class[0] = 0xFF;
  interfaces.interface_subclass[0] = 0xFF;
  interfaces.interface_protocol[0] = 0xFF;
  usbredirparser_send_interface_info(parser_, &interfaces);

  usb_redir_ep_info_header endpoints{};
  for (auto& type : endpoints.type)
    type = usb_redir_type_invalid;
  endpoints.type[Slot(0x00)] = endpoints.type[Slot(0x80)] = usb_redir_type_control;
  endpoints.max_packet_size[Slot(0x00)] = endpoints.max_packet_size[Slot(0x80)] =
      ft245r::kControlPacket;
  for (uint8_t endpoint : {ft245r::kEndpointIn, ft245r::kEndpointOut}) {
    endpoints.type[Slot(endpoint)] = usb_redir_type_bulk;
    endpoints.max_packet_size[Slot(endpoint)] = ft245r::kPacketSize;
  }
  usbredirparser_send_ep_info(parser_, &endpoints);

  usb_redir_device_connect_header device{};
  device.speed = usb_redir_speed_full;
  device.vendor_id = ft245r::kVendorFtdi;
  device.product_id = chip_.identity().product_id;
  device.device_version_bcd = ft245r::kChipRevisionR;
  usbredirparser_send_device_connect(parser_, &device);
  Log(Format("connect %04X:%04X %s", device.vendor_id, device.product_id,
             chip_.identity().serial.c_str()));
}

void RedirDevice::OnControl(uint64_t id, usb_redir_control_packet_header* header, uint8_t* data,
                            int length) {
  const ft245r::Setup setup{header->requesttype, header->request, header->value, header->index,
                            header->length};
  const auto out = data != nullptr ? std::span<const uint8_t>(data, static_cast<size_t>(length))
                                   : std::span<const uint8_t>();
  const auto answer = chip_.Control(setup, out, Clock::now());
  usbredirparser_free_packet_data(parser_, data);
  usb_redir_control_packet_header reply = *header;
  const bool in = (header->requesttype & 0x80) != 0;
  reply.status = answer.stall ? usb_redir_stall : usb_redir_success;
  reply.length = answer.stall ? 0 : in ? static_cast<uint16_t>(answer.data.size()) : header->length;
  std::vector<uint8_t> bytes = answer.data;
  usbredirparser_send_control_packet(parser_, id, &reply,
                                     in && !bytes.empty() ? bytes.data() : nullptr,
                                     in ? static_cast<int>(bytes.size()) : 0);
  Log(Format("control %02X %02X %04X %04X %u -> %s%s", header->requesttype, header->request,
             header->value, header->index, header->length, answer.stall ? "stall" : "ok",
             in && !answer.stall ? (" " + vg::HexBytes(answer.data)).c_str() : ""));
}

void RedirDevice::OnBulk(uint64_t id, usb_redir_bulk_packet_header* header, uint8_t* data,
                         int length) {
  const uint32_t asked = static_cast<uint32_t>(header->length_high) << 16 | header->length;
  if (header->endpoint == ft245r::kEndpointIn) {
    usbredirparser_free_packet_data(parser_, data);
    pending_in_.push_back({id, header->endpoint, asked});
    return;
  }
  usb_redir_bulk_packet_header reply = *header;
  if (header->endpoint == ft245r::kEndpointOut && data != nullptr) {
    const auto bytes = std::span<const uint8_t>(data, static_cast<size_t>(length));
    const size_t taken = chip_.BulkOut(bytes);
    Log(Format("out %zu %s", taken, bytes.size() <= 8 ? vg::HexBytes(bytes).c_str() : ""));
    reply.status = usb_redir_success;
  } else {
    reply.status = usb_redir_stall;
  }
  usbredirparser_free_packet_data(parser_, data);
  // A pulled chip answers nothing more: the caller drops the stream.
  if (!chip_.gone())
    usbredirparser_send_bulk_packet(parser_, id, &reply, nullptr, 0);
}

void RedirDevice::OnCancel(uint64_t id) {
  for (auto it = pending_in_.begin(); it != pending_in_.end(); ++it) {
    if (it->id != id)
      continue;
    usb_redir_bulk_packet_header reply{};
    reply.endpoint = it->endpoint;
    reply.status = usb_redir_cancelled;
    usbredirparser_send_bulk_packet(parser_, id, &reply, nullptr, 0);
    pending_in_.erase(it);
    Log("cancel in");
    return;
  }
}

bool RedirDevice::Read() {
  const int result = usbredirparser_do_read(parser_);
  return !broken_ && result != usbredirparser_read_io_error;
}

bool RedirDevice::Poll() {
  const auto now = Clock::now();
  // Transfers on one endpoint complete in order: only the first can be due.
  while (!pending_in_.empty() && !chip_.gone()) {
    const PendingIn& first = pending_in_.front();
    if (chip_.InReadyAt(first.length, now) > now)
      break;
    auto bytes = chip_.TakeIn(first.length, now);
    usb_redir_bulk_packet_header reply{};
    reply.endpoint = first.endpoint;
    reply.status = usb_redir_success;
    reply.length = static_cast<uint16_t>(bytes.size() & 0xFFFF);
    reply.length_high = static_cast<uint16_t>(bytes.size() >> 16);
    usbredirparser_send_bulk_packet(parser_, first.id, &reply, bytes.data(),
                                    static_cast<int>(bytes.size()));
    Log(Format("in %zu", bytes.size() - ft245r::kStatusBytes));
    pending_in_.pop_front();
  }
  if (usbredirparser_has_data_to_write(parser_))
    usbredirparser_do_write(parser_);
  return !broken_;
}

std::optional<ft245r::Time> RedirDevice::NextDue() const {
  if (pending_in_.empty())
    return std::nullopt;
  return chip_.InReadyAt(pending_in_.front().length, Clock::now());
}

bool RedirDevice::WantsWrite() const {
  return usbredirparser_has_data_to_write(parser_) != 0;
}

void RedirDevice::Log(const std::string& line) {
  if (log_)
    log_(line);
}

}  // namespace qvx::usbredir
