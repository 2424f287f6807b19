// The exported face of the open libftd2xx.so: the ten D2XX entry points, the two of the device
// information list and the two the doctor asks (the library's version, the latency timer), each
// checking its handle and pointers before it reaches the port. Handles are numbers never used
// twice, looked up in a table, so a stale or made-up handle gets FT_INVALID_HANDLE instead of a
// crash.
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

  // The handle of this process's open port at `location`, or null.
  Handle At(Dword location) {
    std::lock_guard lock(mutex_);
    for (const auto& [handle, port] : ports_) {
      if (port->location() == location)
        return handle;
    }
    return nullptr;
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

struct InfoEntry {
  Dword flags = 0;
  Dword type = 0;
  Dword id = 0;
  Dword location = 0;
  qvx::ftdi::BridgeStrings strings;
  Handle handle = nullptr;
};

// The device information list FT_CreateDeviceInfoList made last, as D2XX keeps it per process.
class InfoList {
 public:
  void Replace(std::vector<InfoEntry> entries) {
    std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
  }
  std::optional<InfoEntry> At(Dword index) {
    std::lock_guard lock(mutex_);
    if (index >= entries_.size())
      return std::nullopt;
    return entries_[index];
  }

 private:
  std::mutex mutex_;
  std::vector<InfoEntry> entries_;
};

InfoList& Infos() {
  static InfoList list;
  return list;
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
  // By location the argument is the location id itself.
  if (flags == d2xx::FT_OPEN_BY_LOCATION) {
    BridgeChoice choice{BridgeChoice::By::kLocation, 0, {}};
    choice.location = static_cast<Dword>(reinterpret_cast<uintptr_t>(arg));
    return OpenPort(choice, handle);
  }
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

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_CreateDeviceInfoList(Dword* count) {
  if (count == nullptr)
    return d2xx::FT_INVALID_PARAMETER;
  // A bus scan of its own every time, so a bridge pulled since the last list is not in this one.
  std::vector<InfoEntry> entries;
  for (const auto& bridge :
       qvx::ftdi::ListBridges().value_or(std::vector<qvx::ftdi::ListedBridge>{})) {
    InfoEntry entry;
    entry.type = bridge.type;
    entry.id = bridge.id;
    entry.location = bridge.location;
    entry.strings = bridge.strings;
    // The attachment's token (device/d2xx.h), not a handle: a unit re-plugged between two lists
    // is told from one that stayed by it.
    entry.handle = bridge.token;
    // Opened here, or by another program whose claim sysfs shows, as FTDI's library flags a
    // device another process has open.
    const bool open_here = bridge.location != 0 && Ports().At(bridge.location) != nullptr;
    entry.flags = open_here || bridge.claimed ? d2xx::FT_FLAGS_OPENED : 0;
    entries.push_back(std::move(entry));
  }
  *count = static_cast<Dword>(entries.size());
  Infos().Replace(std::move(entries));
  return d2xx::FT_OK;
}
QVX_FTDI_CHECK_PROTOTYPE(FT_CreateDeviceInfoList, CreateDeviceInfoListFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_GetDeviceInfoDetail(Dword index, Dword* flags, Dword* type,
                                                            Dword* id, Dword* location,
                                                            void* serial, void* description,
                                                            Handle* handle) {
  if (flags == nullptr || type == nullptr || id == nullptr || location == nullptr ||
      serial == nullptr || description == nullptr || handle == nullptr) {
    return d2xx::FT_INVALID_PARAMETER;
  }
  const auto entry = Infos().At(index);
  if (!entry)
    return d2xx::FT_DEVICE_NOT_FOUND;
  *flags = entry->flags;
  *type = entry->type;
  *id = entry->id;
  *location = entry->location;
  CopyString(entry->strings.serial, serial, d2xx::kSerialNumberBuffer);
  CopyString(entry->strings.description, description, d2xx::kDescriptionBuffer);
  *handle = entry->handle;
  return d2xx::FT_OK;
}
QVX_FTDI_CHECK_PROTOTYPE(FT_GetDeviceInfoDetail, GetDeviceInfoDetailFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_GetLibraryVersion(Dword* version) {
  if (version == nullptr)
    return d2xx::FT_INVALID_PARAMETER;
  *version = d2xx::VersionNumber(QVX_VERSION);
  return d2xx::FT_OK;
}
QVX_FTDI_CHECK_PROTOTYPE(FT_GetLibraryVersion, GetLibraryVersionFn);

QVX_FTDI_EXPORT Status QVX_D2XX_CALL FT_GetLatencyTimer(Handle handle,
                                                        unsigned char* milliseconds) {
  return WithPort(handle, [&](FtdiPort& port) {
    if (milliseconds == nullptr)
      return d2xx::FT_INVALID_PARAMETER;
    return port.LatencyTimer(*milliseconds);
  });
}
QVX_FTDI_CHECK_PROTOTYPE(FT_GetLatencyTimer, GetLatencyTimerFn);

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
