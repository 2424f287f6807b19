// Binding of the D2XX library and the guarded calls.
#include "device/driver_table.h"

#include <string>

#include "device/texts.h"

namespace qvx {
namespace {

template <typename Fn>
void Store(Fn& field, void* symbol) {
  field = reinterpret_cast<Fn>(symbol);
}

}  // namespace

void Driver::BindDriver() {
  table_.library = loader_.Load();
  if (table_.library == nullptr) {
    window_.ShowMessage(kCannotLoadDriverText);
    return;
  }
  // Each entry point is stored before it is tested, and binding stops at the first one missing.
  auto bind = [this](auto& field, const char* name) {
    Store(field, loader_.Find(table_.library, name));
    if (field == nullptr) {
      window_.ShowMessage(std::string(kCannotFindEntryText) + name);
      return false;
    }
    return true;
  };
  bind(table_.FT_Write, "FT_Write") && bind(table_.FT_Read, "FT_Read") &&
      bind(table_.FT_Open, "FT_Open") && bind(table_.FT_OpenEx, "FT_OpenEx") &&
      bind(table_.FT_ListDevices, "FT_ListDevices") && bind(table_.FT_Close, "FT_Close") &&
      bind(table_.FT_ResetDevice, "FT_ResetDevice") && bind(table_.FT_Purge, "FT_Purge") &&
      bind(table_.FT_SetTimeouts, "FT_SetTimeouts") &&
      bind(table_.FT_GetQueueStatus, "FT_GetQueueStatus");
  // The device information list is looked up quietly: a library without it still lists and
  // opens, only without locations.
  Store(table_.FT_CreateDeviceInfoList, loader_.Find(table_.library, "FT_CreateDeviceInfoList"));
  Store(table_.FT_GetDeviceInfoDetail, loader_.Find(table_.library, "FT_GetDeviceInfoDetail"));
}

d2xx::Status Driver::Missing(const char* entry_point) {
  window_.ShowMessage(std::string(entry_point) + kEntryNotValidText);
  return 1;
}

d2xx::Status Driver::GuardedOpen(int index) {
  if (table_.FT_Open == nullptr)
    return Missing("FT_Open");
  return table_.FT_Open(index, &table_.device);
}

d2xx::Status Driver::GuardedOpenEx(void* arg, d2xx::Dword flags) {
  if (table_.FT_OpenEx == nullptr)
    return Missing("FT_OpenEx");
  return table_.FT_OpenEx(arg, flags, &table_.device);
}

d2xx::Status Driver::GuardedListDevices(void* arg1, void* arg2, d2xx::Dword flags) {
  if (table_.FT_ListDevices == nullptr)
    return Missing("FT_ListDevices");
  return table_.FT_ListDevices(arg1, arg2, flags);
}

d2xx::Status Driver::GuardedClose() {
  if (table_.FT_Close == nullptr)
    return Missing("FT_Close");
  return table_.FT_Close(table_.device);
}

d2xx::Status Driver::GuardedRead(void* buffer, d2xx::Dword count, d2xx::Dword* received) {
  if (table_.FT_Read == nullptr)
    return Missing("FT_Read");
  return table_.FT_Read(table_.device, buffer, count, received);
}

d2xx::Status Driver::GuardedWrite(const void* buffer, d2xx::Dword count, d2xx::Dword* written) {
  if (table_.FT_Write == nullptr)
    return Missing("FT_Write");
  // D2XX takes a non-const buffer but only reads from it.
  return table_.FT_Write(table_.device, const_cast<void*>(buffer), count, written);
}

d2xx::Status Driver::GuardedResetDevice() {
  if (table_.FT_ResetDevice == nullptr)
    return Missing("FT_ResetDevice");
  return table_.FT_ResetDevice(table_.device);
}

d2xx::Status Driver::GuardedPurge(d2xx::Dword mask) {
  if (table_.FT_Purge == nullptr)
    return Missing("FT_Purge");
  return table_.FT_Purge(table_.device, mask);
}

d2xx::Status Driver::GuardedSetTimeouts(d2xx::Dword read_ms, d2xx::Dword write_ms) {
  if (table_.FT_SetTimeouts == nullptr)
    return Missing("FT_SetTimeouts");
  return table_.FT_SetTimeouts(table_.device, read_ms, write_ms);
}

d2xx::Status Driver::GuardedGetQueueStatus(d2xx::Dword* received) {
  if (table_.FT_GetQueueStatus == nullptr)
    return Missing("FT_GetQueueStatus");
  return table_.FT_GetQueueStatus(table_.device, received);
}

}  // namespace qvx
