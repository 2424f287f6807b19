#include "doctor/texts.h"

#include <cstdio>

namespace qvx::doctor::text {
namespace {

std::string Joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string text;
  for (const std::string& part : parts)
    text += (text.empty() ? "" : std::string(separator)) + part;
  return text;
}

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

std::string TtyList(const std::vector<std::string>& ttys) {
  return ttys.empty() ? std::string() : " (" + Joined(ttys, ", ") + ")";
}

}  // namespace

std::string Usage() {
  return "Usage: qvx5120-doctor [--json] [--report FILE]\n"
         "Checks, in order, everything between this computer and each QVX5120 generator, and\n"
         "prints one line per check, passed or failed, each failure with what to do:\n"
         "  library        which D2XX driver library the programs load, and its version\n"
         "  present        the USB devices with FTDI's vendor id or the generator's product\n"
         "                 string, seen without opening them; others are named and left alone\n"
         "  kernel-driver  the kernel driver bound to the generator (ftdi_sio or none), or on\n"
         "                 Windows the driver Windows bound to it\n"
         "  access         the generator's device node, and whether this user may open it\n"
         "                 (Linux)\n"
         "  held           another program that has the generator open\n"
         "  chip           the FTDI chip, its product string, serial number and latency timer\n"
         "  opens          the unit opens and takes the start-up bytes, as the window does at\n"
         "                 start-up; only a free unit is opened\n"
         "It never erases or writes the flash, and it never takes a device from another program\n"
         "or from the kernel's driver.\n"
         "\n"
         "Options:\n"
         "  --json         print one JSON object instead: {\"verdict\": \"ok\" | \"problem\",\n"
         "                 \"library\": {...}, \"devices\": [{\"port\", \"serial\", \"product\",\n"
         "                 \"vid\", \"pid\", \"generator\", \"checks\": [{\"check\", \"ok\", "
         "\"text\",\n"
         "                 \"fix\"}]}]}\n"
         "  --report FILE  also write the text, the JSON and this system's facts (kernel, library\n"
         "                 versions, the kernel's log lines for the generators' ports where\n"
         "                 readable) to FILE, for a support request\n"
         "  --help         show this help and exit\n"
         "  --version      show the version and exit\n"
         "\n"
         "Exit status:\n"
         "  0  every generator passed every check\n"
         "  2  the command line is wrong\n"
         "  4  a check failed, or no generator was found\n"
         "\n"
         "Examples:\n"
         "  qvx5120-doctor\n"
         "  qvx5120-doctor --json\n"
         "  qvx5120-doctor --report qvx5120-report.txt\n";
}

std::string NotAnOption(std::string_view option) {
  return "unknown option " + std::string(option) + " (see --help)";
}

std::string CannotWriteReport(std::string_view file, std::string_view why) {
  return "cannot write the report to " + std::string(file) + ": " + std::string(why);
}

namespace {

struct KindWords {
  LibraryKind kind;
  const char* word;
  const char* name;
};
constexpr KindWords kKinds[] = {{LibraryKind::kNone, "none", "none"},
                                {LibraryKind::kFtdi, "ftdi", "FTDI's D2XX library"},
                                {LibraryKind::kOpen, "open", "the open library (over libftdi1)"},
                                {LibraryKind::kVirtual, "virtual", "the virtual generator"}};

const KindWords& WordsOf(LibraryKind kind) {
  for (const KindWords& words : kKinds) {
    if (words.kind == kind)
      return words;
  }
  return kKinds[0];
}

}  // namespace

std::string LibraryKindName(LibraryKind kind) {
  return WordsOf(kind).name;
}

std::string LibraryKindWord(LibraryKind kind) {
  return WordsOf(kind).word;
}

std::string VersionText(d2xx::Dword version) {
  char text[16];
  std::snprintf(text, sizeof text, "%x.%02x.%02x", (version >> 16) & 0xFF, (version >> 8) & 0xFF,
                version & 0xFF);
  return text;
}

std::string LibraryLoaded(std::string_view kind, std::string_view path, std::string_view version,
                          bool complete, bool lists) {
  std::string text = std::string(kind) + ", " + std::string(path);
  text += version.empty() ? ", version not reported" : ", version " + std::string(version);
  if (!complete)
    text += "; it lacks entry points the programs bind";
  else if (!lists)
    text += "; without the device information list, so units have no location";
  return text;
}

std::string LibraryNone(const std::vector<std::pair<std::string, std::string>>& tried) {
  std::string text = "no driver library loads; tried:";
  for (const auto& [file, why] : tried)
    text += " " + file + " (" + why + ");";
  if (!tried.empty())
    text.pop_back();
  return text;
}

std::string Found(int generators, int others, const std::vector<std::string>& trouble) {
  std::string text = generators == 0   ? std::string("no generator found")
                     : generators == 1 ? std::string("1 generator")
                                       : std::to_string(generators) + " generators";
  text += others == 0 ? ", no other FTDI device"
          : others == 1
              ? ", 1 other FTDI device (not a generator, left alone)"
              : ", " + std::to_string(others) + " other FTDI devices (not generators, left alone)";
  for (const std::string& line : trouble)
    text += "; " + EnumerationTrouble(line);
  return text;
}

std::string EnumerationTrouble(std::string_view line) {
  return "the kernel logged " + Quoted(line);
}

std::string PresentSeen(std::string_view port, std::string_view ids, std::string_view product,
                        std::string_view serial, std::string_view speed,
                        const std::vector<std::string>& hubs, bool listed) {
  std::string text = "USB port " + std::string(port) + ", " + std::string(ids) + " " +
                     Quoted(product) + ", serial " + Quoted(serial);
  if (!speed.empty())
    text += ", " + std::string(speed) + " Mbit/s";
  text += hubs.empty() ? ", on the root hub" : ", behind " + Joined(hubs, ", ");
  if (listed)
    text += "; listed by the driver library";
  return text;
}

std::string PresentListedOnly(std::string_view port, std::string_view serial, bool virtual_one) {
  std::string text = "listed by the driver library";
  if (!port.empty())
    text += " at port " + std::string(port);
  text += ", serial " + Quoted(serial);
  if (virtual_one)
    text += " (a unit of the virtual generator)";
  return text;
}

std::string PresentNotListed(std::string_view port) {
  return "the system sees it at USB port " + std::string(port) +
         ", but the driver library does not list it";
}

std::string PresentOnlyToWindows(std::string_view instance_id) {
  return "Windows sees it (" + std::string(instance_id) +
         "), but the driver library does not list it";
}

std::string KernelLogged(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += "; " + EnumerationTrouble(line);
  return text;
}

std::string NotAGenerator(std::string_view product, std::string_view serial) {
  return "an FTDI device that is not a generator (product string " + Quoted(product) + ", serial " +
         Quoted(serial) + "): left alone, never opened";
}

std::string NoDriver(std::string_view interface_name) {
  return "no kernel driver is bound to its interface " + std::string(interface_name);
}

std::string ClaimedThroughUsbfs(std::string_view interface_name) {
  return "its interface " + std::string(interface_name) +
         " is claimed by a program through usbfs (see held)";
}

std::string FtdiSioInTheWay(std::string_view interface_name, const std::vector<std::string>& ttys) {
  return "ftdi_sio is bound to its interface " + std::string(interface_name) + TtyList(ttys) +
         ": FTDI's library cannot open the unit while it is";
}

std::string FtdiSioDetached(std::string_view interface_name, const std::vector<std::string>& ttys) {
  return "ftdi_sio is bound to its interface " + std::string(interface_name) + TtyList(ttys) +
         "; not in the way of the open library, which detaches it when a load opens the unit";
}

std::string FtdiSioFix(std::string_view interface_name) {
  return UnbindFix(interface_name) +
         "; the project's udev rule does this at every plug (see access for whether it is "
         "installed)";
}

std::string OtherDriver(std::string_view interface_name, std::string_view driver) {
  return std::string(driver) + " is bound to its interface " + std::string(interface_name) +
         ", which no generator needs";
}

std::string OtherDriverFix(std::string_view interface_name, std::string_view driver) {
  return "echo -n " + std::string(interface_name) + " | sudo tee /sys/bus/usb/drivers/" +
         std::string(driver) + "/unbind";
}

std::string WindowsDriver(std::string_view service, std::string_view provider,
                          std::string_view version) {
  std::string text = "Windows bound " + std::string(service) + " to it";
  if (!provider.empty())
    text +=
        " (" + std::string(provider) + (version.empty() ? "" : ", " + std::string(version)) + ")";
  return text;
}

std::string WindowsDriverHides(std::string_view service) {
  return "Windows bound " + std::string(service.empty() ? "no driver" : service) +
         " to it, not FTDI's driver (FTDIBUS): FTDI's D2XX library does not see it";
}

std::string NodeDescription(std::string_view path, std::string_view owner, std::string_view group,
                            unsigned mode, std::string_view acl) {
  char octal[8];
  std::snprintf(octal, sizeof octal, "%04o", mode & 07777);
  return std::string(path) + ": owner " + std::string(owner) + ", group " + std::string(group) +
         ", mode " + octal + ", ACL " + (acl.empty() ? std::string("none") : std::string(acl));
}

std::string AccessGranted(std::string_view node, std::string_view user, bool rule_applied) {
  return std::string(node) + "; " + std::string(user) + " may open it" +
         (rule_applied ? "; the project's udev rule was applied to it" : "");
}

std::string AccessDenied(std::string_view node, std::string_view user) {
  return std::string(node) + "; " + std::string(user) + " may not open it";
}

std::string NoNode(std::string_view path) {
  return "its device node " + std::string(path) + " is missing";
}

std::string RuleMissingFix() {
  return std::string("the project's udev rule (") + kRuleFile +
         ") is not installed: install the qvx5120 package, or copy packaging/" + kRuleFile +
         " to /etc/udev/rules.d, then: sudo udevadm control --reload-rules && sudo udevadm "
         "trigger --subsystem-match=usb --attr-match=idVendor=0403 (or plug the generator in "
         "again)";
}

std::string RuleNotAppliedFix(std::string_view rule) {
  return "udev has not applied " + std::string(rule) +
         " to this device: sudo udevadm control --reload-rules && sudo udevadm trigger "
         "--subsystem-match=usb --attr-match=idVendor=0403 (or plug the generator in again)";
}

std::string JoinGroupFix(std::string_view user, std::string_view group) {
  return "join the group " + std::string(group) + ": sudo usermod -aG " + std::string(group) + " " +
         std::string(user) +
         ", then log out and in again (a service: SupplementaryGroups=" + std::string(group) + ")";
}

std::string NewSessionFix(std::string_view group) {
  return "you joined " + std::string(group) +
         " after this session began: log out and in again (or start a shell with newgrp " +
         std::string(group) + ")";
}

std::string HeldBy(const std::vector<std::string>& holders) {
  return "in use by " + Joined(holders, ", ");
}

std::string Holder(std::string_view name, int pid, std::string_view node) {
  return std::string(name) + " (pid " + std::to_string(pid) + ", " + std::string(node) + ")";
}

std::string HeldFix(const std::vector<std::string>& names, const std::vector<int>& pids) {
  for (const std::string& name : names) {
    if (name == "ModemManager")
      return kModemManagerFix;
    if (name.starts_with("brltty"))
      return kBrlttyFix;
  }
  std::string text = "close " + Joined(names, ", ") + " (or end it: kill";
  for (int pid : pids)
    text += " " + std::to_string(pid);
  return text + "), then run qvx5120-doctor again";
}

std::string ChipType(d2xx::Dword type) {
  switch (type) {
    case 0:
      return "FT232B/FT245B";
    case 1:
      return "FT8U232AM/FT8U245AM";
    case 2:
      return "FT8U100AX";
    case 4:
      return "FT2232C";
    case d2xx::FT_DEVICE_232R:
      return "FT232R/FT245R";
    case 6:
      return "FT2232H";
    case 7:
      return "FT4232H";
    case 8:
      return "FT232H";
    case 9:
      return "FT-X";
    default:
      return "unknown FTDI chip (type " + std::to_string(type) + ")";
  }
}

std::string ChipText(std::string_view type, std::string_view product, std::string_view serial,
                     std::string_view latency) {
  return "an " + std::string(type) + ", product string " + Quoted(product) + ", serial " +
         Quoted(serial) + ", " + std::string(latency);
}

std::string LatencyText(int ms) {
  return "latency timer " + std::to_string(ms) + " ms";
}

std::string NotAnFt245r(std::string_view type) {
  return "an " + std::string(type) + ", where the generator's bridge is an FT245R-type chip";
}

std::string SerialShared(std::string_view serial, const std::vector<std::string>& ports) {
  return "its serial number " + Quoted(serial) + " is also the serial number of the unit at " +
         Joined(ports, ", ");
}

std::string Opened(long long ms, std::string_view driver_version) {
  std::string text =
      "opened and took the start-up bytes (reset, time-outs, purges, CMD_END_LOAD) "
      "in " +
      std::to_string(ms) + " ms";
  if (!driver_version.empty())
    text += "; driver version " + std::string(driver_version);
  return text + "; closed again";
}

std::string DidNotOpen(long long ms, const std::vector<std::string>& messages) {
  std::string text = "it did not open";
  if (!messages.empty())
    text += " (" + Joined(messages, "; ") + ")";
  return text + ", after " + std::to_string(ms) + " ms";
}

std::string NotTried(std::string_view because) {
  return "not tried: " + std::string(because);
}

std::string UnbindFix(std::string_view interface_name) {
  return "echo -n " + std::string(interface_name) +
         " | sudo tee /sys/bus/usb/drivers/ftdi_sio/unbind";
}

}  // namespace qvx::doctor::text
