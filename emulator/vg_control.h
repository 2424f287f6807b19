// The virtual generator's control interface, exported from its libftd2xx.so (Ftd2xx.dll on
// Windows) next to the D2XX entry points. Tests and demos reach it by dlopen of the same library
// the application loaded and dlsym of these names; the application itself never uses it.
//
// The library presents QVX_VG_UNITS units (default 1), serial numbers QVX00001, QVX00002, ... at
// port paths 1-1, 1-2, ..., or the units QVX_VG_RACK's file lists while it lists them. The
// functions below act on the selected unit, the first listed unless VG_SelectUnit chose another.
//
// Pointers returned here stay valid until the next D2XX or VG_ call on that unit.
#pragma once

#if defined(_WIN32)
#define QVX_VG_API __declspec(dllexport)
#elif defined(__GNUC__)
#define QVX_VG_API __attribute__((visibility("default")))
#else
#define QVX_VG_API
#endif

extern "C" {

// Every unit closed and in fresh state: re-reads the environment (the number of units or the rack
// file too), loads each flash file (or erased flash), empties the capture logs, the wires and the
// violations; faults come from the environment only. A rack's units are pulled and plugged in
// afresh (their old handles fail as a pulled unit's do). Selects the first listed unit.
QVX_VG_API void VG_Reset(void);
// As VG_Reset, with `count` units whatever QVX_VG_UNITS says.
QVX_VG_API void VG_SetUnits(int count);
// The selected unit's generator back at power-on, with its flash as VG_Reset leaves it (the flash
// file loaded again, or erased flash in memory) and its capture log, wire and violations emptied.
// Unlike VG_Reset, an open handle stays open and the options and time-outs stay as set: a test
// runs many operations over one connection, each from a fresh generator. Cheap: only the flash
// written since is erased again.
QVX_VG_API void VG_Restart(void);
// Every VG_ function that can fail returns 0 when done and nonzero otherwise, as D2XX calls do.
//
// Makes unit `index` (0-based, as FT_Open and FT_ListDevices number them) the one the other VG_
// functions act on, even after it is pulled. Returns nonzero and changes nothing when there is no
// such unit.
QVX_VG_API int VG_SelectUnit(int index);
// Sets an option of the selected unit, as its environment variable would at reset: "fail_open",
// "unplug_after" (-1 = off), "glitch_after" (-1 = off; setting it arms it again), "busy_polls",
// "never_ready", "mute", "erase_ms", "latency_ms", "log_calls" (0 = no capture log). Returns 0 when
// done, nonzero for a name that is no option (nothing changes then).
QVX_VG_API int VG_SetOption(const char* name, long long value);
// The environment variable of option `index` (0-based, "QVX_VG_FAIL_OPEN", ...), nullptr past the
// last one: what a test clears so that no option comes from outside.
QVX_VG_API const char* VG_OptionVariable(unsigned long index);
// The variables that shape the whole generator ("QVX_VG_UNITS", "QVX_VG_FAULT_UNIT",
// "QVX_VG_CAPTURE", "QVX_VG_FLASH", "QVX_VG_RACK"), nullptr past the last one.
QVX_VG_API const char* VG_GeneratorVariable(unsigned long index);
// Status answers given first, one per CMD_READ_STATUS, before the normal busy/ready model.
QVX_VG_API void VG_SetStatusAnswers(const unsigned char* answers, unsigned long count);
// nullptr keeps the flash in memory only; a path is loaded at once, as at open.
QVX_VG_API void VG_SetFlashFile(const char* path);

QVX_VG_API const unsigned char* VG_Flash(void);  // the whole flash image
QVX_VG_API unsigned long VG_FlashBytes(void);
QVX_VG_API const unsigned char* VG_Wire(void);  // every byte the device accepted, in order
QVX_VG_API unsigned long VG_WireBytes(void);
QVX_VG_API unsigned long VG_CallCount(void);  // capture log: one line per D2XX call
QVX_VG_API const char* VG_Call(unsigned long index);
QVX_VG_API unsigned long VG_ViolationCount(void);
QVX_VG_API const char* VG_Violation(unsigned long index);
QVX_VG_API int VG_InLoadingMode(void);
}
