// The host side of the emulator tests: binds the ten D2XX entry points of a loaded library with
// dlsym, exactly as the application's driver table does (and the two of the device information
// list), and sends protocol commands through them.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/d2xx.h"

namespace qvx::test {

inline constexpr uint8_t kBeginLoad = 0xF0;
inline constexpr uint8_t kSetAddress = 0xF4;
inline constexpr uint8_t kEraseSector = 0xF6;
inline constexpr uint8_t kWriteBlock = 0xF8;
inline constexpr uint8_t kWritePattern = 0xF9;
inline constexpr uint8_t kReadStatus = 0xFD;
inline constexpr uint8_t kFinishWrite = 0xFE;
inline constexpr uint8_t kEndLoad = 0xFF;
inline constexpr size_t kBlockBytes = 1536;
inline constexpr size_t kPatternBytes = 2880;
inline constexpr char kDescription[] = "QVX5120I1";

struct EmuHost {
  explicit EmuHost(void* library)
      : FT_Open(Bind<d2xx::OpenFn>(library, "FT_Open")),
        FT_OpenEx(Bind<d2xx::OpenExFn>(library, "FT_OpenEx")),
        FT_ListDevices(Bind<d2xx::ListDevicesFn>(library, "FT_ListDevices")),
        FT_Close(Bind<d2xx::CloseFn>(library, "FT_Close")),
        FT_Read(Bind<d2xx::ReadFn>(library, "FT_Read")),
        FT_Write(Bind<d2xx::WriteFn>(library, "FT_Write")),
        FT_ResetDevice(Bind<d2xx::ResetDeviceFn>(library, "FT_ResetDevice")),
        FT_Purge(Bind<d2xx::PurgeFn>(library, "FT_Purge")),
        FT_SetTimeouts(Bind<d2xx::SetTimeoutsFn>(library, "FT_SetTimeouts")),
        FT_GetQueueStatus(Bind<d2xx::GetQueueStatusFn>(library, "FT_GetQueueStatus")),
        FT_CreateDeviceInfoList(
            Bind<d2xx::CreateDeviceInfoListFn>(library, "FT_CreateDeviceInfoList")),
        FT_GetDeviceInfoDetail(
            Bind<d2xx::GetDeviceInfoDetailFn>(library, "FT_GetDeviceInfoDetail")) {}

  template <typename Fn>
  static Fn Bind(void* library, const char* name) {
    return reinterpret_cast<Fn>(dlsym(library, name));
  }

  d2xx::Status Open() {
    char description[] = "QVX5120I1";
    return FT_OpenEx(description, d2xx::FT_OPEN_BY_DESCRIPTION, &handle);
  }
  // FT_OpenEx by location id, as a station opens a socket's unit.
  d2xx::Status OpenAt(d2xx::Dword location, d2xx::Handle* opened) {
    return FT_OpenEx(reinterpret_cast<void*>(static_cast<uintptr_t>(location)),
                     d2xx::FT_OPEN_BY_LOCATION, opened);
  }

  // One entry of the device information list.
  struct Listed {
    d2xx::Dword flags = 0;
    d2xx::Dword type = 0;
    d2xx::Dword id = 0;
    d2xx::Dword location = 0;
    std::string serial;
    std::string description;
    d2xx::Handle handle = nullptr;
  };
  // FT_CreateDeviceInfoList, then FT_GetDeviceInfoDetail for each entry it counted; an entry
  // that fails ends the list.
  std::vector<Listed> List() {
    d2xx::Dword count = 0;
    std::vector<Listed> listed;
    if (FT_CreateDeviceInfoList(&count) != d2xx::FT_OK)
      return listed;
    for (d2xx::Dword i = 0; i < count; ++i) {
      Listed entry;
      char serial[d2xx::kSerialNumberBuffer] = {};
      char description[d2xx::kDescriptionBuffer] = {};
      if (FT_GetDeviceInfoDetail(i, &entry.flags, &entry.type, &entry.id, &entry.location, serial,
                                 description, &entry.handle) != d2xx::FT_OK) {
        break;
      }
      entry.serial = serial;
      entry.description = description;
      listed.push_back(entry);
    }
    return listed;
  }
  // The serial numbers FT_ListDevices gives by index, as the application lists units.
  std::vector<std::string> ListedSerials() {
    d2xx::Dword count = 0;
    std::vector<std::string> serials;
    if (FT_ListDevices(&count, nullptr, d2xx::FT_LIST_NUMBER_ONLY) != d2xx::FT_OK)
      return serials;
    for (d2xx::Dword i = 0; i < count; ++i) {
      char serial[d2xx::kSerialNumberBuffer] = {};
      FT_ListDevices(reinterpret_cast<void*>(static_cast<uintptr_t>(i)), serial,
                     d2xx::FT_LIST_BY_INDEX | d2xx::FT_OPEN_BY_SERIAL_NUMBER);
      serials.emplace_back(serial);
    }
    return serials;
  }

  // One FT_Write of all the bytes; returns the status and stores the written count.
  d2xx::Status Write(std::vector<uint8_t> bytes, d2xx::Dword* written = nullptr) {
    d2xx::Dword count = 0;
    const d2xx::Status st =
        FT_Write(handle, bytes.data(), static_cast<d2xx::Dword>(bytes.size()), &count);
    if (written != nullptr)
      *written = count;
    return st;
  }

  static std::vector<uint8_t> Address(uint32_t unit) {
    return {kSetAddress, static_cast<uint8_t>(unit >> 16), static_cast<uint8_t>(unit >> 8),
            static_cast<uint8_t>(unit)};
  }
  void SetAddress(uint32_t unit) { Write(Address(unit)); }
  void Erase(uint32_t unit) {
    SetAddress(unit);
    Write({kEraseSector});
  }
  // CMD_WRITE_BLOCK as the host sends it: the command, then the 1536-byte block.
  void Block(const std::vector<uint8_t>& block) {
    Write({kWriteBlock});
    Write(block);
  }
  static std::vector<uint8_t> FilledBlock(uint8_t value) {
    std::vector<uint8_t> block(kBlockBytes, 0);
    std::fill(block.begin(), block.begin() + 1440, value);
    return block;
  }
  void Pattern(const std::vector<uint8_t>& data) {
    Write({kWritePattern});
    Write(data);
  }

  // One status request; the answer, or nothing when the device queued none.
  std::optional<uint8_t> ReadStatus() {
    Write({kReadStatus});
    d2xx::Dword queued = 0;
    FT_GetQueueStatus(handle, &queued);
    uint8_t answer = 0;
    d2xx::Dword got = 0;
    FT_Read(handle, &answer, 1, &got);
    if (got == 0)
      return std::nullopt;
    return answer;
  }
  std::vector<std::optional<uint8_t>> ReadStatuses(int n) {
    std::vector<std::optional<uint8_t>> answers;
    for (int i = 0; i < n; ++i)
      answers.push_back(ReadStatus());
    return answers;
  }

  d2xx::OpenFn FT_Open;
  d2xx::OpenExFn FT_OpenEx;
  d2xx::ListDevicesFn FT_ListDevices;
  d2xx::CloseFn FT_Close;
  d2xx::ReadFn FT_Read;
  d2xx::WriteFn FT_Write;
  d2xx::ResetDeviceFn FT_ResetDevice;
  d2xx::PurgeFn FT_Purge;
  d2xx::SetTimeoutsFn FT_SetTimeouts;
  d2xx::GetQueueStatusFn FT_GetQueueStatus;
  d2xx::CreateDeviceInfoListFn FT_CreateDeviceInfoList;
  d2xx::GetDeviceInfoDetailFn FT_GetDeviceInfoDetail;
  d2xx::Handle handle = nullptr;
};

}  // namespace qvx::test
