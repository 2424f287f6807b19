// The slice of FTDI's D2XX interface this system uses: status codes, flags and the C prototypes
// of the ten entry points, as the vendor library exports them, and the two of its device
// information list. DWORD and ULONG are 32-bit on both Linux and Windows; handles are
// pointer-sized.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#if defined(_WIN32) && !defined(_WIN64)
#define QVX_D2XX_CALL __stdcall
#else
#define QVX_D2XX_CALL
#endif

namespace d2xx {

using Status = uint32_t;
using Dword = uint32_t;
using Handle = void*;

inline constexpr Status FT_OK = 0;
inline constexpr Status FT_INVALID_HANDLE = 1;
inline constexpr Status FT_DEVICE_NOT_FOUND = 2;
inline constexpr Status FT_DEVICE_NOT_OPENED = 3;
inline constexpr Status FT_IO_ERROR = 4;
inline constexpr Status FT_INVALID_PARAMETER = 6;

inline constexpr Dword FT_OPEN_BY_SERIAL_NUMBER = 1;
inline constexpr Dword FT_OPEN_BY_DESCRIPTION = 2;
// The argument is the location id itself (FT_GetDeviceInfoDetail's), not a pointer to it.
inline constexpr Dword FT_OPEN_BY_LOCATION = 4;
// FT_GetDeviceInfoDetail's flags: the unit is open, in this process or another.
inline constexpr Dword FT_FLAGS_OPENED = 1;
// FT_GetDeviceInfoDetail's type of the generator's bridge: an FT232R/FT245R (FT_DEVICE_232R).
inline constexpr Dword FT_DEVICE_232R = 5;
inline constexpr Dword FT_LIST_NUMBER_ONLY = 0x80000000;
inline constexpr Dword FT_LIST_BY_INDEX = 0x40000000;
// The buffers FT_ListDevices fills by index, terminator included, as D2XX documents them (its
// device-list node holds SerialNumber[16] and Description[64]). A library writes no more than this,
// and a caller gives at least this much.
inline constexpr size_t kSerialNumberBuffer = 16;
inline constexpr size_t kDescriptionBuffer = 64;
inline constexpr size_t ListBuffer(Dword what) {
  return what == FT_OPEN_BY_SERIAL_NUMBER ? kSerialNumberBuffer : kDescriptionBuffer;
}

inline constexpr Dword FT_PURGE_RX = 1;
inline constexpr Dword FT_PURGE_TX = 2;

using OpenFn = Status(QVX_D2XX_CALL*)(int device_number, Handle* handle);
using OpenExFn = Status(QVX_D2XX_CALL*)(void* arg, Dword flags, Handle* handle);
using ListDevicesFn = Status(QVX_D2XX_CALL*)(void* arg1, void* arg2, Dword flags);
using CloseFn = Status(QVX_D2XX_CALL*)(Handle handle);
using ReadFn = Status(QVX_D2XX_CALL*)(Handle handle, void* buffer, Dword count, Dword* received);
using WriteFn = Status(QVX_D2XX_CALL*)(Handle handle, void* buffer, Dword count, Dword* written);
using ResetDeviceFn = Status(QVX_D2XX_CALL*)(Handle handle);
using PurgeFn = Status(QVX_D2XX_CALL*)(Handle handle, Dword mask);
using SetTimeoutsFn = Status(QVX_D2XX_CALL*)(Handle handle, Dword read_ms, Dword write_ms);
using GetQueueStatusFn = Status(QVX_D2XX_CALL*)(Handle handle, Dword* received);

// The device information list, for the location of each unit: FT_CreateDeviceInfoList takes a
// fresh snapshot of the attached units and counts them; FT_GetDeviceInfoDetail reads entry `index`
// of that snapshot (serial into kSerialNumberBuffer bytes, description into kDescriptionBuffer).
//
// Its `handle` out-parameter, from the open library and the virtual generator: a token of the
// unit's attachment, never null, the same in every list while the unit stays plugged in (open or
// not) and different after every re-plug, so that a unit pulled and plugged in again between two
// lists is told from one that stayed. It is no device handle and must never be passed to a call
// (FTDI's own library gives the handle of an open unit there, or null).
using CreateDeviceInfoListFn = Status(QVX_D2XX_CALL*)(Dword* count);
using GetDeviceInfoDetailFn = Status(QVX_D2XX_CALL*)(Dword index, Dword* flags, Dword* type,
                                                     Dword* id, Dword* location, void* serial,
                                                     void* description, Handle* handle);

// Beyond the list, what the doctor asks of a library where it has them: its version, the driver's
// version (Windows) and the chip's latency timer of an open unit. A version is three bytes of two
// decimal digits each, major, minor and build (3.01.15 is 0x00030115).
using GetLibraryVersionFn = Status(QVX_D2XX_CALL*)(Dword* version);
using GetDriverVersionFn = Status(QVX_D2XX_CALL*)(Handle handle, Dword* version);
using GetLatencyTimerFn = Status(QVX_D2XX_CALL*)(Handle handle, unsigned char* milliseconds);

// "major.minor.build" (each part 0 to 99; a part past 99 keeps its last two digits) as a D2XX
// version: "1.0.0" is 0x00010000.
inline constexpr Dword VersionNumber(std::string_view text) {
  Dword version = 0;
  int parts = 0;
  int part = 0;
  for (size_t i = 0; i <= text.size() && parts < 3; ++i) {
    if (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      part = (part * 10 + (text[i] - '0')) % 100;
      continue;
    }
    version = version << 8 | static_cast<Dword>((part / 10) << 4 | (part % 10));
    part = 0;
    ++parts;
  }
  return version << 8 * (3 - parts);
}

}  // namespace d2xx
