// Every text qvx5120-doctor writes: its usage, the names of its checks, what each check found
// and what to do about a failure. Functions compose the texts that carry values.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "device/d2xx.h"
#include "doctor/facts.h"

namespace qvx::doctor::text {

std::string Usage();
inline constexpr const char* kProgram = "qvx5120-doctor: ";
std::string NotAnOption(std::string_view option);  // "unknown option --x (see --help)"
inline constexpr const char* kReportMissing = "--report needs a file name (see --help)";
std::string CannotWriteReport(std::string_view file, std::string_view why);

// The checks' names, in the order they run.
inline constexpr const char* kLibrary = "library";
inline constexpr const char* kPresent = "present";
inline constexpr const char* kKernelDriver = "kernel-driver";
inline constexpr const char* kAccess = "access";
inline constexpr const char* kHeld = "held";
inline constexpr const char* kChip = "chip";
inline constexpr const char* kOpens = "opens";
// The line that says what was found, before the devices.
inline constexpr const char* kSearch = "search";

// The group the package's udev rule hands the generator to.
inline constexpr const char* kGeneratorGroup = "qvx5120";
// What the package's udev rule sets on a generator it applied to, as udev's database shows it.
inline constexpr const char* kRuleProperty = "QVX5120_GENERATOR";
inline constexpr const char* kRuleFile = "60-qvx5120.rules";

inline constexpr const char* kPassed = "ok";
inline constexpr const char* kFailed = "FAIL";
inline constexpr const char* kFixWord = "fix:";
inline constexpr const char* kVerdictOk = "verdict: ok, every generator passed every check";
inline constexpr const char* kVerdictProblem = "verdict: problem, see the checks marked FAIL";

// library
// The kind of library in words, and as the JSON names it ("ftdi", "open", "virtual", "none").
std::string LibraryKindName(LibraryKind kind);
std::string LibraryKindWord(LibraryKind kind);
std::string VersionText(d2xx::Dword version);  // 0x00030115 -> "3.01.15"
std::string LibraryLoaded(std::string_view kind, std::string_view path, std::string_view version,
                          bool complete, bool lists);
std::string LibraryNone(const std::vector<std::pair<std::string, std::string>>& tried);
inline constexpr const char* kLibraryNoneFix =
    "install FTDI's D2XX library (libftd2xx.so on the library search path, then ldconfig), or "
    "the qvx5120 package, which brings the open library";
inline constexpr const char* kLibraryNoneFixWindows =
    "install FTDI's D2XX driver for Windows, which puts Ftd2xx.dll in the system folder";
inline constexpr const char* kLibraryIncompleteFix =
    "the library lacks entry points the programs need: install FTDI's current D2XX library, or "
    "the qvx5120 package's open library";

// search
std::string Found(int generators, int others, const std::vector<std::string>& trouble);
inline constexpr const char* kNoneFoundFix =
    "plug the generator in (and power it), then run qvx5120-doctor again; a unit the system "
    "does not see at all needs another cable, port or a powered hub";
std::string EnumerationTrouble(std::string_view line);  // a kernel line, quoted

// present
std::string PresentSeen(std::string_view port, std::string_view ids, std::string_view product,
                        std::string_view serial, std::string_view speed,
                        const std::vector<std::string>& hubs, bool listed);
std::string PresentListedOnly(std::string_view port, std::string_view serial, bool virtual_one);
std::string PresentNotListed(std::string_view port);
inline constexpr const char* kNotListedFixLibrary = "see the library check: no library loads";
inline constexpr const char* kNotListedFixDriver =
    "FTDI's library does not see a unit while ftdi_sio holds it: see kernel-driver";
inline constexpr const char* kNotListedFixAccess = "see access: this user may not open it";
inline constexpr const char* kNotListedFix = "unplug the generator and plug it in again";
inline constexpr const char* kNotListedFixVirtual =
    "the virtual generator stands in for the driver library: run qvx5120-doctor without it (not "
    "through qvx5120-virtual, and without its folder on LD_LIBRARY_PATH)";
std::string PresentOnlyToWindows(std::string_view instance_id);
inline constexpr const char* kNotListedFixWindows =
    "FTDI's library does not see a device Windows gave another driver: see kernel-driver";
std::string KernelLogged(const std::vector<std::string>& lines);
std::string NotAGenerator(std::string_view product, std::string_view serial);

// kernel-driver
std::string NoDriver(std::string_view interface_name);
std::string ClaimedThroughUsbfs(std::string_view interface_name);
std::string FtdiSioInTheWay(std::string_view interface_name, const std::vector<std::string>& ttys);
std::string FtdiSioDetached(std::string_view interface_name, const std::vector<std::string>& ttys);
std::string FtdiSioFix(std::string_view interface_name);
std::string OtherDriver(std::string_view interface_name, std::string_view driver);
std::string OtherDriverFix(std::string_view interface_name, std::string_view driver);
inline constexpr const char* kVirtualNoKernel =
    "the virtual generator: no USB device, no kernel driver";
std::string WindowsDriver(std::string_view service, std::string_view provider,
                          std::string_view version);
std::string WindowsDriverHides(std::string_view service);
inline constexpr const char* kWindowsDriverFix =
    "in Device Manager, uninstall the device and delete its driver software, then plug it in "
    "again so that Windows installs FTDI's driver (FTDIBUS); a tool such as Zadig put the other "
    "driver there";
inline constexpr const char* kWindowsNoRecord =
    "Windows has no device record for it that says which driver it has";

// access
std::string NodeDescription(std::string_view path, std::string_view owner, std::string_view group,
                            unsigned mode, std::string_view acl);
std::string AccessGranted(std::string_view node, std::string_view user, bool rule_applied);
std::string AccessDenied(std::string_view node, std::string_view user);
std::string NoNode(std::string_view path);
inline constexpr const char* kNoNodeFix =
    "/dev/bus/usb is missing: mount devtmpfs on /dev (udev does on a normal system)";
std::string RuleMissingFix();
std::string RuleNotAppliedFix(std::string_view rule);
std::string JoinGroupFix(std::string_view user, std::string_view group);
std::string NewSessionFix(std::string_view group);
inline constexpr const char* kAccessOtherFix =
    "the node's owner, mode and ACL give you no access: ask the administrator";
inline constexpr const char* kVirtualNoNode = "the virtual generator: no device node";

// held
inline constexpr const char* kNotHeld = "no other program has it open";
std::string HeldBy(const std::vector<std::string>& holders);  // "ModemManager (pid 612) ..."
std::string Holder(std::string_view name, int pid, std::string_view node);
inline constexpr const char* kHeldUnseen =
    "another program has it open (the driver's list marks it opened); which one is not "
    "visible to this user";
inline constexpr const char* kHeldClaimed =
    "a program has claimed its interface through usbfs; which one is not visible to this user";
std::string HeldFix(const std::vector<std::string>& names, const std::vector<int>& pids);
inline constexpr const char* kHeldUnseenFix =
    "close the program that uses the generator (another qvx5120-load, qvx5120-station or the "
    "window, or a service), or run qvx5120-doctor as root to see which it is";
inline constexpr const char* kModemManagerFix =
    "ModemManager probes serial ports it does not know: stop it (sudo systemctl stop "
    "ModemManager), or install the project's udev rule, which keeps ftdi_sio and so ttyUSB off "
    "the generator";
inline constexpr const char* kBrlttyFix =
    "brltty takes FTDI serial ports for braille displays: remove it (sudo apt remove brltty) or "
    "install the project's udev rule, which keeps ftdi_sio and so ttyUSB off the generator";

// chip
std::string ChipType(d2xx::Dword type);  // D2XX's FT_DEVICE as words
std::string ChipText(std::string_view type, std::string_view product, std::string_view serial,
                     std::string_view latency);
std::string LatencyText(int ms);
inline constexpr const char* kLatencyUnread = "latency timer not read (the unit was not opened)";
std::string NotAnFt245r(std::string_view type);
inline constexpr const char* kNotAnFt245rFix =
    "this is not the generator's bridge: the QVX5120 carries an FT245R-type chip";
inline constexpr const char* kNoSerial = "its EEPROM holds no serial number";
inline constexpr const char* kNoSerialFix =
    "program a serial number of its own into the bridge's EEPROM (FTDI's FT_Prog); until then "
    "load it by its port (a station does) rather than with --unit";
std::string SerialShared(std::string_view serial, const std::vector<std::string>& ports);
inline constexpr const char* kSerialSharedFix =
    "give each unit a serial number of its own in its EEPROM (FTDI's FT_Prog); until then a "
    "station loads them by port, and --unit cannot tell them apart";

// opens
std::string Opened(long long ms, std::string_view driver_version);
std::string DidNotOpen(long long ms, const std::vector<std::string>& messages);
inline constexpr const char* kDidNotOpenFix =
    "if it was plugged in a moment ago, wait a few seconds and run qvx5120-doctor again; "
    "otherwise unplug it, plug it in again and look at the checks above";
std::string NotTried(std::string_view because);
inline constexpr const char* kBecauseHeld = "another program has it (see held)";
inline constexpr const char* kBecauseNoAccess = "this user may not open it (see access)";
inline constexpr const char* kBecauseKernelDriver =
    "the kernel's ftdi_sio holds it, and the doctor takes no device from the kernel's driver "
    "(see kernel-driver)";
inline constexpr const char* kBecauseNoLibrary = "no driver library loads (see library)";
inline constexpr const char* kBecauseNotListed = "the driver library does not list it";
inline constexpr const char* kBecauseNoWayToOpen =
    "the driver library gives it no location, and its serial number does not tell it apart";
inline constexpr const char* kFreeItFix =
    "free the unit as the check named says, then run "
    "qvx5120-doctor again";
std::string UnbindFix(std::string_view interface_name);

}  // namespace qvx::doctor::text
