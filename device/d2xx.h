// The slice of FTDI's D2XX interface this system uses: status codes, flags and the C prototypes
// of the ten entry points, as the vendor library exports them, and the two of its device
// information list. DWORD and ULONG are 32-bit on both Linux and Windows; handles are
// pointer-sized.
#pragma once

#include <cstddef>
#include <cstdint>

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
using CreateDeviceInfoListFn = Status(QVX_D2XX_CALL*)(Dword* count);
using GetDeviceInfoDetailFn = Status(QVX_D2XX_CALL*)(Dword index, Dword* flags, Dword* type,
                                                     Dword* id, Dword* location, void* serial,
                                                     void* description, Handle* handle);

}  // namespace d2xx
