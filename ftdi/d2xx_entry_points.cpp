// The exported face of the open libftd2xx.so: the ten D2XX entry points, each checking its
// handle and pointers before it reaches the port. Handles are numbers never used twice, looked up
// in a table, so a stale or made-up handle gets FT_INVALID_HANDLE instead of a crash.
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <type_traits>

#include "device/d2xx.h"
#include "ftdi/ftdi_port.h"

#define QVX_FTDI_EXPORT extern "C" __attribute__((visibility("default")))

using d2xx::Dword;
using d2xx::Handle;
using d2xx::Status;
using qvx::ftdi::BridgeChoice;
using qvx::ftdi::FtdiPort;

namespace {

class PortTable {
 public:
  Handle Add(std::unique_ptr<FtdiPort> port) {
    std::lock_guard lock(mutex_);
    const auto handle = reinterpret_cast<Handle>(static_cast<uintptr_t>(++last_id_));
    ports_.emplace(handle, std::move(port));
    return handle;
  }

  std::shared_ptr<FtdiPort> Find(Handle handle) {
    std::lock_guard lock(mutex_);
    const auto it = ports_.find(handle);
    return it == ports_.end() ? nullptr : it->second;
  }

  // The port leaves the table at once; it closes when its last call in flight returns.
  bool Remove(Handle handle) {
    std::lock_guard lock(mutex_);
    return ports_.erase(handle) == 1;
  }

 private:
  std::mutex mutex_;
  std::map<Handle, std::shared_ptr<FtdiPort>> ports_;
  uintptr_t last_id_ = 0;
};

PortTable& Ports() {
  static PortTable table;
  return table;
}

Status OpenPort(const BridgeChoice& choice, Handle* handle) {
  if (handle == nullptr)
    return d2xx::FT_INVALID_PARAMETER;
  Status status = d2xx::FT_OK;
  auto port = FtdiPort::Open(choice, status);
  if (!port)
    return status;
  *handle = Ports().Add(std::move(port));
  return d2xx::FT_OK;
}

// Runs `call` on the port behind `handle`, one call at a time per port.
template <typename Call>
Status WithPort(Handle handle, Call&& call) {
  const auto port = Ports().Find(handle);
  if (!port)
    return d2xx::FT_INVALID_HANDLE;
  std::lock_guard lock(port->mutex());
  return call(*port);
}

void CopyString(const std::string& text, void* out, size_t capacity) {
  const size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(out, text.data(), length);
  static_cast<char*>(out)[length] = '\0';
}

}  // namespace

#define QVX_FTDI_CHECK_PROTOTYPE(name, type) \
  static_assert(std::is_same_v<decltype(&name), d2xx::type>, #name " has the wrong prototype")

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_Open(int device_number, Handle* handle) {
  if (device_number < 0)
    return d2xx::FT_DEVICE_NOT_FOUND;
  return OpenPort({BridgeChoice::By::kIndex, static_cast<size_t>(device_number), {}}, handle);
}
QVX_FTDI_CHECK_PROTOTYPE(FT_Open, OpenFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_OpenEx(void* arg, Dword flags, Handle* handle) {
  if (arg == nullptr)
    return d2xx::FT_INVALID_PARAMETER;
  const char* text = static_cast<const char*>(arg);
  if (flags == d2xx::FT_OPEN_BY_DESCRIPTION)
    return OpenPort({BridgeChoice::By::kDescription, 0, text}, handle);
  if (flags == d2xx::FT_OPEN_BY_SERIAL_NUMBER)
    return OpenPort({BridgeChoice::By::kSerial, 0, text}, handle);
  return d2xx::FT_INVALID_PARAMETER;
}
QVX_FTDI_CHECK_PROTOTYPE(FT_OpenEx, OpenExFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_ListDevices(void* arg1, void* arg2, Dword flags) {
  if ((flags & d2xx::FT_LIST_NUMBER_ONLY) != 0) {
    if (arg1 == nullptr)
      return d2xx::FT_INVALID_PARAMETER;
    *static_cast<Dword*>(arg1) = static_cast<Dword>(qvx::ftdi::CountBridges().value_or(0));
    return d2xx::FT_OK;
  }
  const Dword what = flags & ~d2xx::FT_LIST_BY_INDEX;
  const bool by_serial = what == d2xx::FT_OPEN_BY_SERIAL_NUMBER;
  if ((flags & d2xx::FT_LIST_BY_INDEX) == 0 || arg2 == nullptr ||
      (!by_serial && what != d2xx::FT_OPEN_BY_DESCRIPTION)) {
    return d2xx::FT_INVALID_PARAMETER;
  }
  // By index, D2XX passes the index itself in place of the first pointer.
  const auto index = static_cast<Dword>(reinterpret_cast<uintptr_t>(arg1));
  const auto strings = qvx::ftdi::BridgeStringsAt(index);
  if (!strings)
    return d2xx::FT_DEVICE_NOT_FOUND;
  CopyString(by_serial ? strings->serial : strings->description, arg2, d2xx::ListBuffer(what));
  return d2xx::FT_OK;
}
QVX_FTDI_CHECK_PROTOTYPE(FT_ListDevices, ListDevicesFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_Close(Handle handle) {
  return Ports().Remove(handle) ? d2xx::FT_OK : d2xx::FT_INVALID_HANDLE;
}
QVX_FTDI_CHECK_PROTOTYPE(FT_Close, CloseFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_Read(Handle handle, void* buffer, Dword count,
                                             Dword* received) {
  return WithPort(handle, [&](FtdiPort& port) {
    if (received != nullptr)
      *received = 0;
    if ((buffer == nullptr && count > 0) || received == nullptr)
      return d2xx::FT_INVALID_PARAMETER;
    return port.Read(static_cast<uint8_t*>(buffer), count, *received);
  });
}
QVX_FTDI_CHECK_PROTOTYPE(FT_Read, ReadFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_Write(Handle handle, void* buffer, Dword count,
                                              Dword* written) {
  return WithPort(handle, [&](FtdiPort& port) {
    if (written != nullptr)
      *written = 0;
    if ((buffer == nullptr && count > 0) || written == nullptr)
      return d2xx::FT_INVALID_PARAMETER;
    return port.Write(static_cast<const uint8_t*>(buffer), count, *written);
  });
}
QVX_FTDI_CHECK_PROTOTYPE(FT_Write, WriteFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_ResetDevice(Handle handle) {
  return WithPort(handle, [](FtdiPort& port) { return port.Reset(); });
}
QVX_FTDI_CHECK_PROTOTYPE(FT_ResetDevice, ResetDeviceFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_Purge(Handle handle, Dword mask) {
  return WithPort(handle, [&](FtdiPort& port) { return port.Purge(mask); });
}
QVX_FTDI_CHECK_PROTOTYPE(FT_Purge, PurgeFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_SetTimeouts(Handle handle, Dword read_ms, Dword write_ms) {
  return WithPort(handle, [&](FtdiPort& port) { return port.SetTimeouts(read_ms, write_ms); });
}
QVX_FTDI_CHECK_PROTOTYPE(FT_SetTimeouts, SetTimeoutsFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_GetQueueStatus(Handle handle, Dword* received) {
  return WithPort(handle, [&](FtdiPort& port) {
    if (received == nullptr)
      return d2xx::FT_INVALID_PARAMETER;
    return port.QueueStatus(*received);
  });
}
QVX_FTDI_CHECK_PROTOTYPE(FT_GetQueueStatus, GetQueueStatusFn);
