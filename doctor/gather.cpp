#include "doctor/gather.h"

#include "device/usb_location.h"
#include "doctor/checks.h"
#include "doctor/system_text.h"
#include "doctor/texts.h"
#include "doctor/windows_drivers.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/utsname.h>

#include "doctor/linux_system.h"
#endif

namespace qvx::doctor {

void MatchListedUnits(std::vector<DeviceFacts>& devices, const std::vector<ListedUnit>& units,
                      LibraryKind kind) {
  const size_t seen = devices.size();
  for (const ListedUnit& unit : units) {
    DeviceFacts* match = nullptr;
    for (size_t i = 0; i < seen && kind != LibraryKind::kVirtual && match == nullptr; ++i) {
      DeviceFacts& device = devices[i];
      if (device.listed || !device.usb)
        continue;
      const auto location = LocationOfPortPath(device.usb->port);
      if (unit.location != 0 ? location == unit.location : device.usb->serial == unit.serial)
        match = &device;
    }
    if (match != nullptr) {
      match->listed = unit;
    } else {
      DeviceFacts listed;
      listed.listed = unit;
      devices.push_back(std::move(listed));
    }
  }
}

Facts GatherFacts(LibraryProbe& probe) {
  Facts facts;
  facts.platform = kThisPlatform;
  facts.library = probe.Bind();
  const std::vector<ListedUnit> units =
      facts.library.kind != LibraryKind::kNone ? probe.List() : std::vector<ListedUnit>{};
#if defined(_WIN32)
  MatchListedUnits(facts.devices, units, facts.library.kind);
  AttachDriverRecords(facts.devices, ReadDriverRecords());
#else
  const LinuxPaths paths;
  facts.devices = LinuxDevices(paths);
  facts.user = LinuxUser();
  facts.udev_rules = InstalledRules(paths);
  if (const auto log = KernelLog()) {
    facts.kernel_log_readable = true;
    facts.kernel_log = *log;
    auto trouble = EnumerationTrouble(*log);
    for (DeviceFacts& device : facts.devices) {
      const auto lines = trouble.find(device.port());
      if (lines != trouble.end()) {
        device.kernel_log = lines->second;
        trouble.erase(lines);
      }
    }
    for (const auto& [port, lines] : trouble) {
      for (const std::string& line : lines)
        facts.kernel_trouble.push_back(line);
    }
  }
  MatchListedUnits(facts.devices, units, facts.library.kind);
#endif
  // Last, and only those nothing else holds: the opens.
  for (DeviceFacts& device : facts.devices) {
    if (device.generator() && !WhyNotOpen(device, facts))
      device.open = probe.Open(*device.listed);
  }
  return facts;
}

std::string SystemFactsText(const Facts& facts) {
  const std::string& kernel_log = facts.kernel_log;
  std::string text = "system:\n";
#if defined(_WIN32)
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  text += std::string("  Windows, ") +
          (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? "x64" : "x86") + "\n";
#else
  utsname name{};
  if (uname(&name) == 0) {
    text += std::string("  kernel: ") + name.sysname + " " + name.release + " " + name.version +
            " " + name.machine + "\n";
  }
#endif
  text +=
      "  driver library: " +
      (facts.library.search.loaded.empty() ? std::string("none") : facts.library.search.loaded) +
      (facts.library.version ? ", version " + text::VersionText(*facts.library.version)
                             : std::string()) +
      "\n";
  for (const DeviceFacts& device : facts.devices) {
    if (device.open.driver_version)
      text += "  driver version: " + text::VersionText(*device.open.driver_version) + "\n";
  }
  text += "kernel log for the generators' ports:\n";
  if (!facts.kernel_log_readable) {
    text += "  not readable by this user\n";
    return text;
  }
  for (const DeviceFacts& device : facts.devices) {
    if (!device.generator() || device.port().empty())
      continue;
    const std::string mark = "usb " + device.port() + ":";
    size_t start = 0;
    while (start < kernel_log.size()) {
      size_t end = kernel_log.find('\n', start);
      if (end == std::string::npos)
        end = kernel_log.size();
      const std::string_view line(kernel_log.data() + start, end - start);
      const std::string_view message = KernelMessage(line);
      if (message.starts_with(mark) || message.find(" " + device.port() + ":") != message.npos)
        text += "  " + std::string(line) + "\n";
      start = end + 1;
    }
  }
  return text;
}

}  // namespace qvx::doctor
