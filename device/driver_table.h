// The D2XX driver as this system sees it: the table of the loaded library, the device handle and
// ten entry points, the one-time binding, and the guarded calls through which every driver call
// goes. A guarded call with an empty entry point shows its message and yields 1 instead of
// crashing.
#pragma once

#include "device/d2xx.h"
#include "device/library_loader.h"
#include "port/window_port.h"

namespace qvx {

struct DriverTable {
  void* library = nullptr;
  d2xx::Handle device = nullptr;
  d2xx::OpenFn FT_Open = nullptr;
  d2xx::OpenExFn FT_OpenEx = nullptr;
  d2xx::ListDevicesFn FT_ListDevices = nullptr;
  d2xx::CloseFn FT_Close = nullptr;
  d2xx::ReadFn FT_Read = nullptr;
  d2xx::WriteFn FT_Write = nullptr;
  d2xx::ResetDeviceFn FT_ResetDevice = nullptr;
  d2xx::PurgeFn FT_Purge = nullptr;
  d2xx::SetTimeoutsFn FT_SetTimeouts = nullptr;
  d2xx::GetQueueStatusFn FT_GetQueueStatus = nullptr;
  // Not among the ten: bound when the library has them, for the location of each unit.
  d2xx::CreateDeviceInfoListFn FT_CreateDeviceInfoList = nullptr;
  d2xx::GetDeviceInfoDetailFn FT_GetDeviceInfoDetail = nullptr;
};

class Driver {
 public:
  Driver(WindowPort& window, LibraryLoader& loader) : window_(window), loader_(loader) {}

  // Loads the library and resolves the entry points in their fixed order, stopping at the first
  // that is missing with its message. Never repeated; the outcome shows only in the table.
  void BindDriver();

  d2xx::Status GuardedOpen(int index);
  d2xx::Status GuardedOpenEx(void* arg, d2xx::Dword flags);
  d2xx::Status GuardedListDevices(void* arg1, void* arg2, d2xx::Dword flags);
  d2xx::Status GuardedClose();
  d2xx::Status GuardedRead(void* buffer, d2xx::Dword count, d2xx::Dword* received);
  d2xx::Status GuardedWrite(const void* buffer, d2xx::Dword count, d2xx::Dword* written);
  d2xx::Status GuardedResetDevice();
  d2xx::Status GuardedPurge(d2xx::Dword mask);
  d2xx::Status GuardedSetTimeouts(d2xx::Dword read_ms, d2xx::Dword write_ms);
  d2xx::Status GuardedGetQueueStatus(d2xx::Dword* received);

  const DriverTable& table() const { return table_; }

 private:
  d2xx::Status Missing(const char* entry_point);

  WindowPort& window_;
  LibraryLoader& loader_;
  DriverTable table_;
};

}  // namespace qvx
