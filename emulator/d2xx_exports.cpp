// The exported face of the virtual generator's libftd2xx.so: the ten D2XX entry points the
// application binds, the two of the device information list, the three the doctor asks (library
// and driver version, latency timer), and the VG_ control functions for tests. Each call goes to
// one unit of the registry and holds that unit's lock only, so calls on different units run side by
// side.
//
// Built once complete, and once per entry point of the ten without it (QVX_VG_OMIT_<name>), so
// that tests can load a library that lacks exactly one entry point.
#include <chrono>
#include <cstdint>
#include <thread>
#include <type_traits>

#include "device/d2xx.h"
#include "emulator/options.h"
#include "emulator/unit_registry.h"
#include "emulator/vg_control.h"
#include "emulator/virtual_device.h"

// On Windows a module-definition file exports the entry points under their plain names; marking
// them here too would add the decorated __stdcall names (FT_Write@16) of 32-bit builds.
#if defined(_WIN32)
#define QVX_VG_EXPORT extern "C"
#else
#define QVX_VG_EXPORT extern "C" QVX_VG_API
#endif

using d2xx::Dword;
using d2xx::Handle;
using d2xx::Status;

namespace {

qvx::vg::UnitRegistry& Units() {
  return qvx::vg::UnitRegistry::Instance();
}

// The unit a handle-based call goes to.
qvx::vg::LockedUnit Device(Handle handle) {
  return Units().ForHandle(handle);
}

// The unit the control functions act on.
qvx::vg::LockedUnit Selected() {
  return Units().Selected();
}

}  // namespace

// The exported prototypes must be exactly the ones the application's driver table expects.
#define QVX_VG_CHECK_PROTOTYPE(name, type) \
  static_assert(std::is_same_v<decltype(&name), d2xx::type>, #name " has the wrong prototype")

#ifndef QVX_VG_OMIT_FT_Open
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_Open(int device_number, Handle* handle) {
  auto unit = Units().At(device_number);
  return unit.device.Open(device_number, unit.found, handle);
}
QVX_VG_CHECK_PROTOTYPE(FT_Open, OpenFn);
#endif

#ifndef QVX_VG_OMIT_FT_OpenEx
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_OpenEx(void* arg, Dword flags, Handle* handle) {
  // By serial number: that unit; by location: the unit at that location id, which is the argument
  // itself; by description: unit 1, the first attached.
  auto unit = flags == d2xx::FT_OPEN_BY_SERIAL_NUMBER ? Units().ForSerial(static_cast<char*>(arg))
              : flags == d2xx::FT_OPEN_BY_LOCATION
                  ? Units().ForLocation(static_cast<Dword>(reinterpret_cast<uintptr_t>(arg)))
                  : Units().At(0);
  return unit.device.OpenEx(arg, flags, unit.found, handle);
}
QVX_VG_CHECK_PROTOTYPE(FT_OpenEx, OpenExFn);
#endif

#ifndef QVX_VG_OMIT_FT_ListDevices
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_ListDevices(void* arg1, void* arg2, Dword flags) {
  const auto listed = Units().ListedSerials();
  return Units().At(0).device.ListDevices(arg1, arg2, flags, listed);
}
QVX_VG_CHECK_PROTOTYPE(FT_ListDevices, ListDevicesFn);
#endif

// Not among the ten, so no library lacks them (nor the three below).
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_CreateDeviceInfoList(Dword* count) {
  const size_t listed = Units().TakeSnapshot();
  return Units().First().device.CreateDeviceInfoList(count, listed);
}
QVX_VG_CHECK_PROTOTYPE(FT_CreateDeviceInfoList, CreateDeviceInfoListFn);

QVX_VG_EXPORT Status QVX_D2XX_CALL FT_GetDeviceInfoDetail(Dword index, Dword* flags, Dword* type,
                                                          Dword* id, Dword* location, void* serial,
                                                          void* description, Handle* handle) {
  // The list as FT_CreateDeviceInfoList made it, whatever has been plugged or pulled since.
  const auto snapshot = Units().Snapshot();
  return Units().First().device.GetDeviceInfoDetail(index, flags, type, id, location, serial,
                                                    description, handle, snapshot);
}
QVX_VG_CHECK_PROTOTYPE(FT_GetDeviceInfoDetail, GetDeviceInfoDetailFn);

QVX_VG_EXPORT Status QVX_D2XX_CALL FT_GetLibraryVersion(Dword* version) {
  if (version == nullptr)
    return d2xx::FT_INVALID_PARAMETER;
  *version = qvx::vg::kLibraryVersion;
  return d2xx::FT_OK;
}
QVX_VG_CHECK_PROTOTYPE(FT_GetLibraryVersion, GetLibraryVersionFn);

QVX_VG_EXPORT Status QVX_D2XX_CALL FT_GetDriverVersion(Handle handle, Dword* version) {
  return Device(handle).device.GetDriverVersion(handle, version);
}
QVX_VG_CHECK_PROTOTYPE(FT_GetDriverVersion, GetDriverVersionFn);

QVX_VG_EXPORT Status QVX_D2XX_CALL FT_GetLatencyTimer(Handle handle, unsigned char* milliseconds) {
  return Device(handle).device.GetLatencyTimer(handle, milliseconds);
}
QVX_VG_CHECK_PROTOTYPE(FT_GetLatencyTimer, GetLatencyTimerFn);

#ifndef QVX_VG_OMIT_FT_Close
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_Close(Handle handle) {
  return Device(handle).device.Close(handle);
}
QVX_VG_CHECK_PROTOTYPE(FT_Close, CloseFn);
#endif

#ifndef QVX_VG_OMIT_FT_Read
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_Read(Handle handle, void* buffer, Dword count,
                                           Dword* received) {
  // As FTDI's driver does, a read waits until the bytes asked for are there or the read time-out
  // runs out. It waits without the lock, so other calls go on meanwhile.
  const auto started = std::chrono::steady_clock::now();
  for (;;) {
    auto guarded = Device(handle);
    const auto wake = guarded.device.ReadWaitsUntil(handle, count, started);
    if (!wake)
      return guarded.device.Read(handle, buffer, count, received);
    guarded.lock.unlock();
    std::this_thread::sleep_until(*wake);
  }
}
QVX_VG_CHECK_PROTOTYPE(FT_Read, ReadFn);
#endif

#ifndef QVX_VG_OMIT_FT_Write
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_Write(Handle handle, void* buffer, Dword count,
                                            Dword* written) {
  return Device(handle).device.Write(handle, buffer, count, written);
}
QVX_VG_CHECK_PROTOTYPE(FT_Write, WriteFn);
#endif

#ifndef QVX_VG_OMIT_FT_ResetDevice
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_ResetDevice(Handle handle) {
  return Device(handle).device.ResetDevice(handle);
}
QVX_VG_CHECK_PROTOTYPE(FT_ResetDevice, ResetDeviceFn);
#endif

#ifndef QVX_VG_OMIT_FT_Purge
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_Purge(Handle handle, Dword mask) {
  return Device(handle).device.Purge(handle, mask);
}
QVX_VG_CHECK_PROTOTYPE(FT_Purge, PurgeFn);
#endif

#ifndef QVX_VG_OMIT_FT_SetTimeouts
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_SetTimeouts(Handle handle, Dword read_ms, Dword write_ms) {
  return Device(handle).device.SetTimeouts(handle, read_ms, write_ms);
}
QVX_VG_CHECK_PROTOTYPE(FT_SetTimeouts, SetTimeoutsFn);
#endif

#ifndef QVX_VG_OMIT_FT_GetQueueStatus
QVX_VG_EXPORT Status QVX_D2XX_CALL FT_GetQueueStatus(Handle handle, Dword* received) {
  return Device(handle).device.GetQueueStatus(handle, received);
}
QVX_VG_CHECK_PROTOTYPE(FT_GetQueueStatus, GetQueueStatusFn);
#endif

// Control interface.

void VG_Reset(void) {
  Units().ConfigureFromEnvironment();
}

void VG_SetUnits(int count) {
  Units().Configure(count);
}

void VG_Restart(void) {
  Selected().device.Restart();
}

int VG_SelectUnit(int index) {
  return Units().Select(index) ? 0 : 1;
}

int VG_SetOption(const char* name, long long value) {
  return name != nullptr && Selected().device.SetOption(name, value) ? 0 : 1;
}

const char* VG_OptionVariable(unsigned long index) {
  const auto options = qvx::vg::Options();
  return index < options.size() ? options[index].variable : nullptr;
}

const char* VG_GeneratorVariable(unsigned long index) {
  const auto& variables = qvx::vg::kGeneratorVariables;
  return index < variables.size() ? variables[index].name : nullptr;
}

void VG_SetStatusAnswers(const unsigned char* answers, unsigned long count) {
  Selected().device.SetStatusAnswers(answers != nullptr ? std::span(answers, count)
                                                        : std::span<const unsigned char>());
}

void VG_SetFlashFile(const char* path) {
  Selected().device.SetFlashFile(path != nullptr ? std::optional<std::string>(path) : std::nullopt);
}

const unsigned char* VG_Flash(void) {
  return Selected().device.flash().data();
}
unsigned long VG_FlashBytes(void) {
  return Selected().device.flash().size();
}
const unsigned char* VG_Wire(void) {
  return Selected().device.wire().data();
}
unsigned long VG_WireBytes(void) {
  return Selected().device.wire().size();
}
unsigned long VG_CallCount(void) {
  return Selected().device.calls().size();
}

const char* VG_Call(unsigned long index) {
  auto guarded = Selected();
  const auto& calls = guarded.device.calls();
  return index < calls.size() ? calls[index].c_str() : nullptr;
}

unsigned long VG_ViolationCount(void) {
  return Selected().device.violations().size();
}

const char* VG_Violation(unsigned long index) {
  auto guarded = Selected();
  const auto& violations = guarded.device.violations();
  return index < violations.size() ? violations[index].c_str() : nullptr;
}

int VG_InLoadingMode(void) {
  return Selected().device.loading() ? 1 : 0;
}
