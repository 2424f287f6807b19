#include "doctor/checks.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "doctor/texts.h"

namespace qvx::doctor {
namespace {

Check Passed(const char* name, std::string text) {
  return {name, true, std::move(text), ""};
}

Check Failed(const char* name, std::string text, std::string fix) {
  return {name, false, std::move(text), std::move(fix)};
}

std::string Ids(uint16_t vendor, uint16_t product) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x:%04x", vendor, product);
  return text;
}

bool IsVirtual(const Facts& facts) {
  return facts.library.kind == LibraryKind::kVirtual;
}

bool FtdiSioBound(const DeviceFacts& device) {
  return device.usb && device.usb->driver == "ftdi_sio";
}

// Another program has it: the list's "opened" flag, a process seen holding one of its nodes, or
// its interface claimed through usbfs.
bool Held(const DeviceFacts& device) {
  return (device.listed && (device.listed->flags & d2xx::FT_FLAGS_OPENED) != 0) ||
         !device.holders.seen.empty() || (device.usb && device.usb->driver == "usbfs");
}

bool RuleApplied(const DeviceFacts& device) {
  return device.udev && device.udev->properties.contains(text::kRuleProperty);
}

// The other generators with this one's serial number: their ports.
std::vector<std::string> SharingSerial(const DeviceFacts& device, const Facts& facts) {
  std::vector<std::string> ports;
  for (const DeviceFacts& other : facts.devices) {
    if (&other != &device && other.generator() && other.serial() == device.serial())
      ports.push_back(other.port().empty() ? "?" : other.port());
  }
  return ports;
}

}  // namespace

bool Report::ok() const {
  if (!library.ok || !search.ok)
    return false;
  bool any = false;
  for (const DeviceReport& device : devices) {
    if (!device.generator)
      continue;
    any = true;
    for (const Check& check : device.checks) {
      if (!check.ok)
        return false;
    }
  }
  return any;
}

Check CheckLibrary(const Facts& facts) {
  const LibraryFacts& library = facts.library;
  if (library.kind == LibraryKind::kNone) {
    std::vector<std::pair<std::string, std::string>> tried;
    for (const LoadAttempt& attempt : library.search.tried)
      tried.emplace_back(attempt.file, attempt.error);
    return Failed(text::kLibrary, text::LibraryNone(tried),
                  facts.platform == Platform::kWindows ? text::kLibraryNoneFixWindows
                                                       : text::kLibraryNoneFix);
  }
  const std::string version = library.version ? text::VersionText(*library.version) : "";
  std::string found =
      text::LibraryLoaded(text::LibraryKindName(library.kind), library.search.loaded, version,
                          library.complete, library.lists);
  if (!library.complete)
    return Failed(text::kLibrary, std::move(found), text::kLibraryIncompleteFix);
  return Passed(text::kLibrary, std::move(found));
}

Check CheckSearch(const Facts& facts) {
  int generators = 0;
  int others = 0;
  for (const DeviceFacts& device : facts.devices)
    ++(device.generator() ? generators : others);
  std::string found = text::Found(generators, others, facts.kernel_trouble);
  if (generators == 0)
    return Failed(text::kSearch, std::move(found), text::kNoneFoundFix);
  return Passed(text::kSearch, std::move(found));
}

Check CheckPresent(const DeviceFacts& device, const Facts& facts) {
  if (!device.generator())
    return Passed(text::kPresent, text::NotAGenerator(device.product(), device.serial()));
  const std::string logged = text::KernelLogged(device.kernel_log);
  if (!device.usb && !device.listed && device.windows_driver) {
    return Failed(text::kPresent, text::PresentOnlyToWindows(device.windows_driver->instance_id),
                  text::kNotListedFixWindows);
  }
  if (!device.usb) {
    return Passed(
        text::kPresent,
        text::PresentListedOnly(device.port(), device.serial(), IsVirtual(facts)) + logged);
  }
  const UsbFacts& usb = *device.usb;
  std::vector<std::string> hubs;
  for (const HubFacts& hub : usb.hubs) {
    hubs.push_back((hub.port.starts_with("usb") ? "the root hub of bus " + hub.port.substr(3)
                                                : "the hub at " + hub.port) +
                   " (" + Ids(hub.vendor, hub.product) +
                   (hub.product_string.empty() ? "" : " \"" + hub.product_string + "\"") + ")");
  }
  if (!hubs.empty() && usb.hubs.front().port.starts_with("usb"))
    hubs.erase(hubs.begin());  // every device is behind its bus's root hub
  const std::string seen =
      text::PresentSeen(usb.port, Ids(usb.vendor, usb.product), usb.product_string, usb.serial,
                        usb.speed, hubs, device.listed.has_value());
  if (device.listed)
    return Passed(text::kPresent, seen + logged);
  const char* fix = text::kNotListedFix;
  if (facts.library.kind == LibraryKind::kVirtual)
    fix = text::kNotListedFixVirtual;
  else if (facts.library.kind == LibraryKind::kNone)
    fix = text::kNotListedFixLibrary;
  else if (facts.library.kind == LibraryKind::kFtdi && FtdiSioBound(device))
    fix = text::kNotListedFixDriver;
  else if (device.node && !device.node->can_open)
    fix = text::kNotListedFixAccess;
  return Failed(text::kPresent, text::PresentNotListed(usb.port) + logged, fix);
}

Check CheckKernelDriver(const DeviceFacts& device, const Facts& facts) {
  if (facts.platform == Platform::kWindows) {
    if (IsVirtual(facts) && !device.windows_driver)
      return Passed(text::kKernelDriver, text::kVirtualNoKernel);
    if (!device.windows_driver)
      return Failed(text::kKernelDriver, text::kWindowsNoRecord, text::kWindowsDriverFix);
    const WindowsDriverFacts& driver = *device.windows_driver;
    std::string service = driver.service;
    std::transform(service.begin(), service.end(), service.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (service == "FTDIBUS") {
      return Passed(text::kKernelDriver,
                    text::WindowsDriver(driver.service, driver.provider, driver.version));
    }
    return Failed(text::kKernelDriver, text::WindowsDriverHides(driver.service),
                  text::kWindowsDriverFix);
  }
  if (!device.usb)
    return Passed(text::kKernelDriver, text::kVirtualNoKernel);
  const UsbFacts& usb = *device.usb;
  if (!usb.driver)
    return Passed(text::kKernelDriver, text::NoDriver(usb.interface_name));
  if (*usb.driver == "usbfs")
    return Passed(text::kKernelDriver, text::ClaimedThroughUsbfs(usb.interface_name));
  if (*usb.driver == "ftdi_sio") {
    if (facts.library.kind == LibraryKind::kFtdi) {
      return Failed(text::kKernelDriver, text::FtdiSioInTheWay(usb.interface_name, usb.ttys),
                    text::FtdiSioFix(usb.interface_name));
    }
    return Passed(text::kKernelDriver, text::FtdiSioDetached(usb.interface_name, usb.ttys));
  }
  return Failed(text::kKernelDriver, text::OtherDriver(usb.interface_name, *usb.driver),
                text::OtherDriverFix(usb.interface_name, *usb.driver));
}

Check CheckAccess(const DeviceFacts& device, const Facts& facts) {
  if (!device.node)
    return Passed(text::kAccess, text::kVirtualNoNode);
  const NodeFacts& node = *device.node;
  if (!node.exists)
    return Failed(text::kAccess, text::NoNode(node.path), text::kNoNodeFix);
  const std::string described =
      text::NodeDescription(node.path, node.owner, node.group, node.mode, node.acl);
  const UserFacts& user = facts.user;
  if (node.can_open)
    return Passed(text::kAccess, text::AccessGranted(described, user.name, RuleApplied(device)));
  const std::string denied = text::AccessDenied(described, user.name);
  if (facts.udev_rules.empty())
    return Failed(text::kAccess, denied, text::RuleMissingFix());
  if (!RuleApplied(device))
    return Failed(text::kAccess, denied, text::RuleNotAppliedFix(facts.udev_rules.front()));
  // The rule applied: the node's group is the generator's group.
  const std::string group = node.group == "root" ? text::kGeneratorGroup : node.group;
  const auto has = [&](const std::vector<std::string>& groups) {
    return std::find(groups.begin(), groups.end(), group) != groups.end();
  };
  if (!has(user.member_of))
    return Failed(text::kAccess, denied, text::JoinGroupFix(user.name, group));
  if (!has(user.session_groups))
    return Failed(text::kAccess, denied, text::NewSessionFix(group));
  return Failed(text::kAccess, denied, text::kAccessOtherFix);
}

Check CheckHeld(const DeviceFacts& device, const Facts&) {
  if (!Held(device))
    return Passed(text::kHeld, text::kNotHeld);
  if (device.holders.seen.empty()) {
    const bool claimed = device.usb && device.usb->driver == "usbfs";
    return Failed(text::kHeld, claimed ? text::kHeldClaimed : text::kHeldUnseen,
                  text::kHeldUnseenFix);
  }
  std::vector<std::string> holders;
  std::vector<std::string> names;
  std::vector<int> pids;
  for (const Holder& holder : device.holders.seen) {
    holders.push_back(text::Holder(holder.name, holder.pid, holder.node));
    names.push_back(holder.name);
    pids.push_back(holder.pid);
  }
  return Failed(text::kHeld, text::HeldBy(holders), text::HeldFix(names, pids));
}

Check CheckChip(const DeviceFacts& device, const Facts& facts) {
  const d2xx::Dword type = device.listed ? device.listed->type
                           : device.usb && device.usb->bcd_device == 0x0600
                               ? d2xx::FT_DEVICE_232R
                               : 3;  // FT_DEVICE_UNKNOWN
  const std::string type_text = text::ChipType(type);
  const std::string latency =
      device.open.latency_ms ? text::LatencyText(*device.open.latency_ms) : text::kLatencyUnread;
  const std::string found = text::ChipText(type_text, device.product(), device.serial(), latency);
  if (type != d2xx::FT_DEVICE_232R)
    return Failed(text::kChip, text::NotAnFt245r(type_text), text::kNotAnFt245rFix);
  if (device.serial().empty())
    return Failed(text::kChip, found + "; " + text::kNoSerial, text::kNoSerialFix);
  if (const auto ports = SharingSerial(device, facts); !ports.empty()) {
    return Failed(text::kChip, found + "; " + text::SerialShared(device.serial(), ports),
                  text::kSerialSharedFix);
  }
  return Passed(text::kChip, found);
}

std::optional<std::string> WhyNotOpen(const DeviceFacts& device, const Facts& facts) {
  if (facts.library.kind == LibraryKind::kNone || !facts.library.complete)
    return text::kBecauseNoLibrary;
  if (Held(device))
    return text::kBecauseHeld;
  if (device.node && !device.node->can_open)
    return text::kBecauseNoAccess;
  if (FtdiSioBound(device))
    return text::kBecauseKernelDriver;
  if (!device.listed)
    return text::kBecauseNotListed;
  if (device.listed->location == 0 &&
      (device.serial().empty() || !SharingSerial(device, facts).empty())) {
    return text::kBecauseNoWayToOpen;
  }
  return std::nullopt;
}

Check CheckOpens(const DeviceFacts& device, const Facts& facts) {
  if (const auto because = WhyNotOpen(device, facts)) {
    std::string fix = text::kFreeItFix;
    if (*because == text::kBecauseKernelDriver)
      fix = text::UnbindFix(device.usb->interface_name) + ", or install the project's udev rule";
    return Failed(text::kOpens, text::NotTried(*because), std::move(fix));
  }
  const OpenFacts& open = device.open;
  if (!open.tried)
    return Failed(text::kOpens, text::NotTried(text::kBecauseNotListed), text::kFreeItFix);
  if (!open.connected) {
    return Failed(text::kOpens, text::DidNotOpen(open.took.count(), open.messages),
                  text::kDidNotOpenFix);
  }
  return Passed(text::kOpens,
                text::Opened(open.took.count(),
                             open.driver_version ? text::VersionText(*open.driver_version) : ""));
}

Report Diagnose(const Facts& facts) {
  Report report{CheckLibrary(facts), CheckSearch(facts), {}};
  for (const DeviceFacts& device : facts.devices) {
    DeviceReport entry{device.port(),
                       device.serial(),
                       device.product(),
                       device.vendor(),
                       device.product_id(),
                       device.generator(),
                       {}};
    entry.checks.push_back(CheckPresent(device, facts));
    if (device.generator()) {
      entry.checks.push_back(CheckKernelDriver(device, facts));
      if (facts.platform == Platform::kLinux)
        entry.checks.push_back(CheckAccess(device, facts));
      entry.checks.push_back(CheckHeld(device, facts));
      entry.checks.push_back(CheckChip(device, facts));
      entry.checks.push_back(CheckOpens(device, facts));
    }
    report.devices.push_back(std::move(entry));
  }
  return report;
}

}  // namespace qvx::doctor
