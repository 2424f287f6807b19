#include "fuzz/in_process_link.h"

#include <cstring>

#include "fuzz/operation_host.h"

namespace qvx::fuzz {
namespace {

using d2xx::Dword;
using d2xx::Handle;
using d2xx::Status;

InProcessLink* the_link = nullptr;
int the_device = 0;  // its address is the handle

Status QVX_D2XX_CALL Open(int, Handle* handle) {
  *handle = &the_device;
  return d2xx::FT_OK;
}
Status QVX_D2XX_CALL OpenEx(void*, Dword, Handle* handle) {
  *handle = &the_device;
  return d2xx::FT_OK;
}
Status QVX_D2XX_CALL ListDevices(void*, void*, Dword) {
  return d2xx::FT_OK;
}
Status QVX_D2XX_CALL Close(Handle) {
  return d2xx::FT_OK;
}
// Every status poll is answered "ready".
Status QVX_D2XX_CALL Read(Handle, void* buffer, Dword count, Dword* received) {
  if (count > 0)
    std::memset(buffer, 1, count);
  *received = count;
  return d2xx::FT_OK;
}
Status QVX_D2XX_CALL Write(Handle, void* buffer, Dword count, Dword* written) {
  the_link->Record(buffer, count);
  *written = count;
  return d2xx::FT_OK;
}
Status QVX_D2XX_CALL ResetDevice(Handle) {
  return d2xx::FT_OK;
}
Status QVX_D2XX_CALL Purge(Handle, Dword) {
  return d2xx::FT_OK;
}
Status QVX_D2XX_CALL SetTimeouts(Handle, Dword, Dword) {
  return d2xx::FT_OK;
}
Status QVX_D2XX_CALL GetQueueStatus(Handle, Dword* waiting) {
  *waiting = 1;
  return d2xx::FT_OK;
}

struct EntryPoint {
  const char* name;
  void* function;
};

const EntryPoint kEntryPoints[] = {
    {"FT_Open", reinterpret_cast<void*>(&Open)},
    {"FT_OpenEx", reinterpret_cast<void*>(&OpenEx)},
    {"FT_ListDevices", reinterpret_cast<void*>(&ListDevices)},
    {"FT_Close", reinterpret_cast<void*>(&Close)},
    {"FT_Read", reinterpret_cast<void*>(&Read)},
    {"FT_Write", reinterpret_cast<void*>(&Write)},
    {"FT_ResetDevice", reinterpret_cast<void*>(&ResetDevice)},
    {"FT_Purge", reinterpret_cast<void*>(&Purge)},
    {"FT_SetTimeouts", reinterpret_cast<void*>(&SetTimeouts)},
    {"FT_GetQueueStatus", reinterpret_cast<void*>(&GetQueueStatus)},
};

}  // namespace

InProcessLink::InProcessLink()
    : MessageLog(0), driver_(*this, *this), link_(driver_, *this, *this) {
  Require(the_link == nullptr, "one in-process link per process");
  the_link = this;
  link_.ConnectDevice();
  Require(link_.connected(), "the in-process driver opens");
}

InProcessLink::~InProcessLink() {
  the_link = nullptr;
}

void* InProcessLink::Find(void*, const char* name) {
  for (const EntryPoint& entry : kEntryPoints) {
    if (std::strcmp(entry.name, name) == 0)
      return entry.function;
  }
  return nullptr;
}

void InProcessLink::Record(const void* buffer, d2xx::Dword count) {
  if (write_count_ == writes_.size())
    writes_.emplace_back();
  test::WireWrite& write = writes_[write_count_++];
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  write.bytes.assign(bytes, bytes + (bytes != nullptr ? count : 0));
  write.status = 0;
  write.written = count;
}

}  // namespace qvx::fuzz
