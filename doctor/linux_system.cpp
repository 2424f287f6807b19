#include "doctor/linux_system.h"

#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/klog.h>
#include <sys/stat.h>
#include <unistd.h>

#include <acl/libacl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "device/protocol.h"
#include "device/usb_sysfs.h"
#include "doctor/system_text.h"
#include "doctor/texts.h"

namespace qvx::doctor {
namespace {

namespace fs = std::filesystem;

std::string NameOfUser(uid_t uid) {
  const passwd* entry = getpwuid(uid);
  return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

std::string NameOfGroup(gid_t gid) {
  const group* entry = getgrgid(gid);
  return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

// The ACL's entries beyond owner, group and other, short form ("u:ana:rw-,m::rw-"); empty when
// there are none.
std::string ExtendedAcl(const std::string& path) {
  acl_t acl = acl_get_file(path.c_str(), ACL_TYPE_ACCESS);
  if (acl == nullptr)
    return {};
  std::string text;
  if (acl_equiv_mode(acl, nullptr) != 0) {
    if (char* written = acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE)) {
      text = written;
      acl_free(written);
    }
  }
  acl_free(acl);
  return text;
}

NodeFacts Node(const std::string& path) {
  NodeFacts node;
  node.path = path;
  struct stat info {};
  if (stat(path.c_str(), &info) != 0)
    return node;
  node.exists = true;
  node.owner = NameOfUser(info.st_uid);
  node.group = NameOfGroup(info.st_gid);
  node.mode = info.st_mode & 07777;
  node.acl = ExtendedAcl(path);
  // The real user's rights, ACL included: what libusb's open will meet.
  node.can_open = access(path.c_str(), R_OK | W_OK) == 0;
  return node;
}

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string CommandName(const fs::path& process) {
  std::string name = FileText(process / "comm");
  while (!name.empty() && name.back() == '\n')
    name.pop_back();
  return name;
}

// Who holds each of `nodes` open, from every process's open files that this user may look at.
std::map<std::string, HolderFacts> Holders(const std::string& proc,
                                           const std::vector<std::string>& nodes) {
  std::map<std::string, HolderFacts> held;
  const pid_t self = getpid();
  std::error_code error;
  bool hidden = false;
  for (const auto& entry : fs::directory_iterator(proc, error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit))
      continue;
    const int pid = std::stoi(name);
    if (pid == self)
      continue;
    std::error_code fd_error;
    fs::directory_iterator fds(entry.path() / "fd", fd_error);
    if (fd_error) {
      hidden = true;
      continue;
    }
    for (const auto& fd : fds) {
      std::error_code link_error;
      const std::string target = fs::read_symlink(fd.path(), link_error).string();
      if (link_error || std::find(nodes.begin(), nodes.end(), target) == nodes.end())
        continue;
      auto& holders = held[target].seen;
      const bool known = std::any_of(holders.begin(), holders.end(),
                                     [&](const Holder& holder) { return holder.pid == pid; });
      if (!known)
        holders.push_back({pid, CommandName(entry.path()), target});
    }
  }
  for (const std::string& node : nodes)
    held[node].some_hidden = hidden;
  return held;
}

std::string UsbfsNode(const std::string& usbfs, int bus, int address) {
  char name[16];
  std::snprintf(name, sizeof name, "/%03d/%03d", bus, address);
  return usbfs + name;
}

}  // namespace

std::vector<DeviceFacts> LinuxDevices(const LinuxPaths& paths) {
  const std::vector<SysfsUsbDevice> all = ListSysfsUsbDevices(paths.sysfs_devices);
  std::map<std::string, const SysfsUsbDevice*> by_name;
  for (const SysfsUsbDevice& device : all)
    by_name[device.name] = &device;

  std::vector<DeviceFacts> found;
  std::vector<std::string> nodes;
  for (const SysfsUsbDevice& device : all) {
    if (device.name.starts_with("usb") ||
        (device.vendor != kVendorFtdi && device.product_string != DeviceDescription)) {
      continue;
    }
    DeviceFacts facts;
    UsbFacts usb{device.name,
                 device.vendor,
                 device.product,
                 device.bcd_device,
                 device.product_string,
                 device.serial,
                 device.speed,
                 {},
                 {},
                 {},
                 {}};
    for (const std::string& hub : HubPathsAbove(device.name)) {
      const auto above = by_name.find(hub);
      if (above != by_name.end()) {
        usb.hubs.push_back(
            {hub, above->second->vendor, above->second->product, above->second->product_string});
      } else {
        usb.hubs.push_back({hub, 0, 0, {}});
      }
    }
    if (!device.interfaces.empty()) {
      const SysfsInterface& first = device.interfaces.front();
      usb.interface_name = first.name;
      usb.driver = first.driver;
      usb.ttys = first.ttys;
    }
    facts.node = Node(UsbfsNode(paths.usbfs, device.bus, device.address));
    nodes.push_back(facts.node->path);
    for (const std::string& tty : usb.ttys)
      nodes.push_back(paths.dev + "/" + tty);
    const std::string record = UdevDataName(device.bus, device.address);
    if (!record.empty()) {
      std::ifstream in(fs::path(paths.udev_data) / record, std::ios::binary);
      if (in) {
        std::ostringstream text;
        text << in.rdbuf();
        facts.udev = ParseUdevDatabase(text.str());
      } else {
        facts.udev = UdevFacts{};
      }
    }
    facts.usb = std::move(usb);
    found.push_back(std::move(facts));
  }

  const auto held = Holders(paths.proc, nodes);
  for (DeviceFacts& facts : found) {
    std::vector<std::string> own{facts.node->path};
    for (const std::string& tty : facts.usb->ttys)
      own.push_back(paths.dev + "/" + tty);
    for (const std::string& node : own) {
      const auto holders = held.find(node);
      if (holders == held.end())
        continue;
      facts.holders.some_hidden = facts.holders.some_hidden || holders->second.some_hidden;
      for (const Holder& holder : holders->second.seen)
        facts.holders.seen.push_back(holder);
    }
  }
  return found;
}

UserFacts LinuxUser() {
  UserFacts user;
  const uid_t uid = getuid();
  user.name = NameOfUser(uid);
  user.root = uid == 0;
  std::vector<gid_t> groups(static_cast<size_t>(std::max(getgroups(0, nullptr), 0)) + 1);
  const int count = getgroups(static_cast<int>(groups.size()), groups.data());
  user.session_groups.push_back(NameOfGroup(getgid()));
  for (int i = 0; i < count; ++i)
    user.session_groups.push_back(NameOfGroup(groups[static_cast<size_t>(i)]));
  if (const passwd* entry = getpwuid(uid)) {
    int listed = 64;
    std::vector<gid_t> member(static_cast<size_t>(listed));
    if (getgrouplist(entry->pw_name, entry->pw_gid, member.data(), &listed) < 0) {
      member.resize(static_cast<size_t>(listed));
      getgrouplist(entry->pw_name, entry->pw_gid, member.data(), &listed);
    }
    for (int i = 0; i < listed && i < static_cast<int>(member.size()); ++i)
      user.member_of.push_back(NameOfGroup(member[static_cast<size_t>(i)]));
  }
  return user;
}

std::vector<std::string> InstalledRules(const LinuxPaths& paths) {
  std::vector<std::string> rules;
  for (const std::string& dir : paths.rule_dirs) {
    const fs::path rule = fs::path(dir) / text::kRuleFile;
    std::error_code error;
    // /lib is /usr/lib on a merged system: the same file, named once.
    const fs::path real = fs::canonical(rule, error);
    if (error)
      continue;
    if (std::none_of(rules.begin(), rules.end(),
                     [&](const std::string& known) { return fs::equivalent(known, real, error); }))
      rules.push_back(rule.string());
  }
  return rules;
}

std::optional<std::string> KernelLog() {
  constexpr int kReadAll = 3;      // SYSLOG_ACTION_READ_ALL
  constexpr int kBufferSize = 10;  // SYSLOG_ACTION_SIZE_BUFFER
  const int size = klogctl(kBufferSize, nullptr, 0);
  if (size <= 0)
    return std::nullopt;
  std::string log(static_cast<size_t>(size), '\0');
  const int read = klogctl(kReadAll, log.data(), size);
  if (read < 0)
    return std::nullopt;
  log.resize(static_cast<size_t>(read));
  return log;
}

}  // namespace qvx::doctor
