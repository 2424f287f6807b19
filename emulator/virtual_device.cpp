#include "emulator/virtual_device.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "device/protocol.h"
#include "emulator/text.h"
#include "flash/flash_file.h"

namespace qvx::vg {
namespace {

using d2xx::Dword;
using d2xx::Status;

constexpr size_t kDescriptionLogLimit = 64;

// FT_GetDeviceInfoDetail's id of the generator's bridge, an FT245R: vendor 0403, product 6001.
constexpr Dword kBridgeId = 0x04036001;

// Handles of the process's opens, never the same twice; they only ever go back to the library.
d2xx::Handle NextHandle() {
  static std::atomic<uintptr_t> last{0};
  return reinterpret_cast<d2xx::Handle>((last.fetch_add(1) + 1) * 16);
}

void CopyText(const std::string& text, void* out, size_t capacity) {
  const size_t n = std::min(text.size(), capacity - 1);
  std::memcpy(out, text.data(), n);
  static_cast<char*>(out)[n] = '\0';
}

// What the host passed to FT_OpenEx: the text for the string-based flags, else the raw value.
std::string OpenArgText(const void* arg, Dword flags) {
  if (arg == nullptr)
    return "(null)";
  if (flags == d2xx::FT_OPEN_BY_SERIAL_NUMBER || flags == d2xx::FT_OPEN_BY_DESCRIPTION) {
    const char* text = static_cast<const char*>(arg);
    return std::string(text, strnlen(text, kDescriptionLogLimit));
  }
  return Format("0x%llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(arg)));
}

}  // namespace

VirtualDevice::VirtualDevice(UnitIdentity identity) : identity_(std::move(identity)) {
  Reset();
}

bool VirtualDevice::FaultsApplyHere() const {
  const auto unit = EnvText(kFaultUnitVariable);
  return !unit || serial() == *unit;
}

void VirtualDevice::Reset() {
  opener_lock_.Release();
  open_ = false;
  pulled_ = false;
  accepted_since_open_ = 0;
  opened_before_ = false;
  glitch_spent_ = false;
  held_ = HeldInEnvironment(serial());
  plugged_at_.reset();
  wire_.clear();
  calls_.clear();
  generator_.Restart();

  const UnitSettings settings = SettingsFromEnvironment(FaultsApplyHere());
  faults_ = settings.faults;
  log_calls_ = settings.log_calls;
  generator_.SetStatusBehaviour(settings.status);

  generator_.flash().Attach(flash::SerialFlashPathFromEnvironment(identity_.files));

  capture_file_.reset();
  capture_path_.reset();
  if (const auto capture = EnvText(kCaptureVariable)) {
    capture_path_ = flash::SerialSiblingPath(*capture, identity_.files);
    // Binary, so the lines end in "\n" on Windows too and logs compare across platforms.
    capture_file_.reset(std::fopen(capture_path_->c_str(), "ab"));
  }
}

std::optional<NorFlash::Content> VirtualDevice::Pull() {
  pulled_ = true;
  // Nothing reaches the flash through a pulled unit, so the next plug may open it at once.
  opener_lock_.Release();
  capture_file_.reset();
  wire_ = {};
  generator_.Restart();
  if (flash_in_file()) {
    generator_.flash().TakeContent();
    return std::nullopt;
  }
  return generator_.flash().TakeContent();
}

DeviceInfo VirtualDevice::Info() const {
  const auto& flash_path = generator_.flash().path();
  const bool opened = open_ || held_ || (flash_path && OpenerLock::HeldElsewhere(*flash_path));
  return {opened ? d2xx::FT_FLAGS_OPENED : 0, identity_.location, serial(),
          reinterpret_cast<d2xx::Handle>(plug_)};
}

void VirtualDevice::SeenPlugged(SteadyTime now) {
  if (!plugged_at_)
    plugged_at_ = now;
}

void VirtualDevice::Restart() {
  accepted_since_open_ = 0;
  wire_.clear();
  calls_.clear();
  generator_.Restart();
  generator_.flash().Restore();
}

bool VirtualDevice::SetOption(std::string_view name, long long value) {
  const Option* option = FindOption(name);
  if (option == nullptr)
    return false;
  UnitSettings settings{faults_, generator_.status_behaviour(), log_calls_};
  option->apply(settings, value);
  // Setting the glitch arms it anew for this plug.
  if (settings.faults.glitch_after != faults_.glitch_after)
    glitch_spent_ = false;
  faults_ = settings.faults;
  log_calls_ = settings.log_calls;
  generator_.SetStatusBehaviour(settings.status);
  return true;
}

std::optional<uint64_t> VirtualDevice::ByteLimit() const {
  std::optional<uint64_t> limit;
  if (faults_.unplug_after >= 0)
    limit = static_cast<uint64_t>(faults_.unplug_after);
  if (faults_.glitch_after >= 0 && !glitch_spent_)
    limit = std::min(limit.value_or(UINT64_MAX), static_cast<uint64_t>(faults_.glitch_after));
  return limit;
}

bool VirtualDevice::Unplugged() const {
  const auto limit = ByteLimit();
  return pulled_ || (limit && accepted_since_open_ >= *limit);
}

Status VirtualDevice::CheckCallWith(d2xx::Handle handle, bool arguments_valid, Link link) const {
  if (!IsOpen(handle))
    return d2xx::FT_INVALID_HANDLE;
  if (!arguments_valid)
    return d2xx::FT_INVALID_PARAMETER;
  if (link == Link::kUsed && Unplugged())
    return d2xx::FT_IO_ERROR;
  return d2xx::FT_OK;
}

Status VirtualDevice::OpenDevice(bool wanted, d2xx::Handle* handle) {
  if (handle == nullptr)
    return d2xx::FT_INVALID_PARAMETER;
  if (!wanted || absent())
    return d2xx::FT_DEVICE_NOT_FOUND;
  if (open_ || held_)
    return d2xx::FT_DEVICE_NOT_OPENED;
  // Just plugged in: the kernel and udev are still at work on it.
  if (faults_.open_refused_ms > 0 && plugged_at_ &&
      std::chrono::steady_clock::now() <
          *plugged_at_ + std::chrono::milliseconds(faults_.open_refused_ms)) {
    return d2xx::FT_DEVICE_NOT_OPENED;
  }
  // Another process holds this unit: its flash must not change under that process.
  if (const auto& path = generator_.flash().path(); path && !opener_lock_.Acquire(*path))
    return d2xx::FT_DEVICE_NOT_OPENED;
  // An open that reached the glitch's bytes had the plug's one glitch; this one runs clean. The
  // glitch was the unit browning out with its link, so it comes back at power-on, its flash kept,
  // instead of waiting for the rest of a block that never came.
  if (opened_before_ && faults_.glitch_after >= 0 &&
      accepted_since_open_ >= static_cast<uint64_t>(faults_.glitch_after)) {
    glitch_spent_ = true;
    generator_.Restart();
  }
  opened_before_ = true;
  open_ = true;
  accepted_since_open_ = 0;
  read_timeout_ms_ = 0;
  generator_.flash().Reload();
  handle_ = NextHandle();
  *handle = handle_;
  return d2xx::FT_OK;
}

Status VirtualDevice::Open(int device_number, bool wanted, d2xx::Handle* handle) {
  const Status st = OpenDevice(wanted, handle);
  Log(Format("FT_Open %d -> %u", device_number, st));
  return st;
}

Status VirtualDevice::OpenEx(void* arg, Dword flags, bool listed, d2xx::Handle* handle) {
  const char* text = static_cast<const char*>(arg);
  // By location the argument is the location id itself.
  const auto location = static_cast<Dword>(reinterpret_cast<uintptr_t>(arg));
  const bool wanted =
      listed && text != nullptr &&
      ((flags == d2xx::FT_OPEN_BY_DESCRIPTION && std::strcmp(text, DeviceDescription) == 0) ||
       (flags == d2xx::FT_OPEN_BY_SERIAL_NUMBER && serial() == text) ||
       (flags == d2xx::FT_OPEN_BY_LOCATION && location == identity_.location));
  const Status st = OpenDevice(wanted, handle);
  Log(Format("FT_OpenEx %s %u -> %u", OpenArgText(arg, flags).c_str(), flags, st));
  return st;
}

Status VirtualDevice::ListDevices(void* arg1, void* arg2, Dword flags,
                                  std::span<const std::string> listed) {
  if ((flags & d2xx::FT_LIST_NUMBER_ONLY) != 0) {
    if (arg1 != nullptr)
      *static_cast<Dword*>(arg1) = static_cast<Dword>(listed.size());
    Log(Format("FT_ListDevices %u -> %u", flags, d2xx::FT_OK));
    return d2xx::FT_OK;
  }
  // By index: arg1 carries the index itself, arg2 points to the listing buffer.
  const auto index = static_cast<size_t>(reinterpret_cast<uintptr_t>(arg1));
  const Dword what = flags & ~d2xx::FT_LIST_BY_INDEX;
  Status st = d2xx::FT_OK;
  std::string text;
  if ((flags & d2xx::FT_LIST_BY_INDEX) == 0 || arg2 == nullptr ||
      (what != d2xx::FT_OPEN_BY_SERIAL_NUMBER && what != d2xx::FT_OPEN_BY_DESCRIPTION)) {
    st = d2xx::FT_INVALID_PARAMETER;
  } else if (index >= listed.size()) {
    st = d2xx::FT_DEVICE_NOT_FOUND;
  } else {
    text = what == d2xx::FT_OPEN_BY_SERIAL_NUMBER ? listed[index] : DeviceDescription;
    const size_t n = std::min(text.size(), d2xx::ListBuffer(what) - 1);
    std::memcpy(arg2, text.data(), n);
    static_cast<char*>(arg2)[n] = '\0';
  }
  Log(Format("FT_ListDevices %zu %u -> %u%s%s", index, flags, st, text.empty() ? "" : " ",
             text.c_str()));
  return st;
}

Status VirtualDevice::CreateDeviceInfoList(Dword* count, size_t listed) {
  const Status st = count != nullptr ? d2xx::FT_OK : d2xx::FT_INVALID_PARAMETER;
  if (count != nullptr)
    *count = static_cast<Dword>(listed);
  Log(Format("FT_CreateDeviceInfoList -> %u %zu", st, listed));
  return st;
}

Status VirtualDevice::GetDeviceInfoDetail(Dword index, Dword* flags, Dword* type, Dword* id,
                                          Dword* location, void* serial, void* description,
                                          d2xx::Handle* handle,
                                          std::span<const DeviceInfo> snapshot) {
  Status st = d2xx::FT_OK;
  const DeviceInfo* info = nullptr;
  if (flags == nullptr || type == nullptr || id == nullptr || location == nullptr ||
      serial == nullptr || description == nullptr || handle == nullptr) {
    st = d2xx::FT_INVALID_PARAMETER;
  } else if (index >= snapshot.size()) {
    st = d2xx::FT_DEVICE_NOT_FOUND;
  } else {
    info = &snapshot[index];
    *flags = info->flags;
    *type = d2xx::FT_DEVICE_232R;
    *id = kBridgeId;
    *location = info->location;
    CopyText(info->serial, serial, d2xx::kSerialNumberBuffer);
    CopyText(DeviceDescription, description, d2xx::kDescriptionBuffer);
    *handle = info->handle;
  }
  if (info != nullptr) {
    Log(Format("FT_GetDeviceInfoDetail %u -> %u %u 0x%X %s", index, st, info->flags, info->location,
               info->serial.c_str()));
  } else {
    Log(Format("FT_GetDeviceInfoDetail %u -> %u", index, st));
  }
  return st;
}

Status VirtualDevice::Close(d2xx::Handle handle) {
  const Status st = CheckCall(handle, Link::kNotUsed);
  if (st == d2xx::FT_OK) {
    open_ = false;
    opener_lock_.Release();
  }
  Log(Format("FT_Close -> %u", st));
  return st;
}

Status VirtualDevice::Read(d2xx::Handle handle, void* buffer, Dword count, Dword* received) {
  const Status st = CheckCallWith(handle, buffer != nullptr && received != nullptr);
  std::vector<uint8_t> taken;
  if (st == d2xx::FT_OK) {
    taken = generator_.TakeAnswers(count);
    std::copy(taken.begin(), taken.end(), static_cast<uint8_t*>(buffer));
  }
  if (received != nullptr)
    *received = static_cast<Dword>(taken.size());
  if (logging()) {
    std::string line = Format("FT_Read %u -> %u %zu", count, st, taken.size());
    if (!taken.empty())
      line += " " + HexBytes(taken);
    Log(std::move(line));
  }
  return st;
}

std::optional<SteadyTime> VirtualDevice::ReadWaitsUntil(d2xx::Handle handle, Dword count,
                                                        SteadyTime started) const {
  if (CheckCall(handle) != d2xx::FT_OK || generator_.QueuedAnswers() >= count)
    return std::nullopt;
  const SteadyTime deadline = started + std::chrono::milliseconds(read_timeout_ms_);
  const SteadyTime now = std::chrono::steady_clock::now();
  if (now >= deadline)
    return std::nullopt;
  // Look again when the next answer arrives, and often enough to see bytes that another
  // thread's write makes the generator send meanwhile.
  SteadyTime wake = std::min(deadline, now + std::chrono::milliseconds(2));
  if (const auto arrival = generator_.NextArrival())
    wake = std::min(wake, *arrival);
  return wake;
}

Status VirtualDevice::Write(d2xx::Handle handle, const void* buffer, Dword count, Dword* written) {
  const auto bytes = buffer != nullptr ? std::span(static_cast<const uint8_t*>(buffer), count)
                                       : std::span<const uint8_t>();
  Status st = CheckCallWith(handle, (buffer != nullptr || count == 0) && written != nullptr);
  size_t accepted = 0;
  if (st == d2xx::FT_OK) {
    accepted = bytes.size();
    if (const auto limit = ByteLimit()) {
      const uint64_t room = *limit - accepted_since_open_;
      if (room < accepted) {
        accepted = static_cast<size_t>(room);
        st = d2xx::FT_IO_ERROR;
      }
    }
    const auto taken = bytes.first(accepted);
    generator_.Accept(taken, wire_.size());
    wire_.insert(wire_.end(), taken.begin(), taken.end());
    accepted_since_open_ += accepted;
  }
  if (written != nullptr)
    *written = static_cast<Dword>(accepted);
  if (logging()) {
    const std::string hex = HexBytes(bytes);
    Log(Format("FT_Write%s%s -> %u %zu", hex.empty() ? "" : " ", hex.c_str(), st, accepted));
  }
  return st;
}

Status VirtualDevice::ResetDevice(d2xx::Handle handle) {
  const Status st = CheckCall(handle, Link::kNotUsed);
  Log(Format("FT_ResetDevice -> %u", st));
  return st;
}

Status VirtualDevice::Purge(d2xx::Handle handle, Dword mask) {
  const Status st = CheckCall(handle);
  if (st == d2xx::FT_OK && (mask & d2xx::FT_PURGE_RX) != 0) {
    generator_.ClearAnswers();
  }
  Log(Format("FT_Purge %u -> %u", mask, st));
  return st;
}

Status VirtualDevice::SetTimeouts(d2xx::Handle handle, Dword read_ms, Dword write_ms) {
  const Status st = CheckCall(handle, Link::kNotUsed);
  if (st == d2xx::FT_OK)
    read_timeout_ms_ = read_ms;
  Log(Format("FT_SetTimeouts %u %u -> %u", read_ms, write_ms, st));
  return st;
}

Status VirtualDevice::GetQueueStatus(d2xx::Handle handle, Dword* received) {
  const Status st = CheckCallWith(handle, received != nullptr);
  size_t queued = 0;
  if (st == d2xx::FT_OK) {
    queued = generator_.QueuedAnswers();
  }
  if (received != nullptr)
    *received = static_cast<Dword>(queued);
  Log(Format("FT_GetQueueStatus -> %u %zu", st, queued));
  return st;
}

Status VirtualDevice::GetLatencyTimer(d2xx::Handle handle, unsigned char* milliseconds) {
  const Status st = CheckCallWith(handle, milliseconds != nullptr, Link::kNotUsed);
  const int latency = std::min(generator_.status_behaviour().latency_ms, 255);
  if (st == d2xx::FT_OK)
    *milliseconds = static_cast<unsigned char>(latency);
  Log(Format("FT_GetLatencyTimer -> %u %d", st, st == d2xx::FT_OK ? latency : 0));
  return st;
}

Status VirtualDevice::GetDriverVersion(d2xx::Handle handle, Dword* version) {
  const Status st = CheckCallWith(handle, version != nullptr, Link::kNotUsed);
  if (st == d2xx::FT_OK)
    *version = kLibraryVersion;
  Log(Format("FT_GetDriverVersion -> %u", st));
  return st;
}

void VirtualDevice::Log(std::string line) {
  if (!log_calls_)
    return;
  if (!capture_file_ && pulled_ && capture_path_) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(capture_path_->c_str(), "ab"));
    if (file)
      std::fprintf(file.get(), "%s\n", line.c_str());
  } else if (capture_file_) {
    std::fprintf(capture_file_.get(), "%s\n", line.c_str());
    std::fflush(capture_file_.get());
  }
  calls_.push_back(std::move(line));
}

}  // namespace qvx::vg
