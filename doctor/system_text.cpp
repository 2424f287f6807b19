#include "doctor/system_text.h"

#include <algorithm>
#include <array>

namespace qvx::doctor {
namespace {

// What the kernel's USB core and hub driver log when a device does not enumerate or is short of
// power (drivers/usb/core/hub.c, message.c).
constexpr std::array<std::string_view, 9> kTroubleWords = {"error -71",
                                                           "error -110",
                                                           "over-current",
                                                           "not enough power",
                                                           "insufficient available bus power",
                                                           "unable to enumerate",
                                                           "device descriptor read",
                                                           "device not accepting address",
                                                           "can't set config"};

// The lines of `text`, without their line ends.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos)
      break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool IsPortPath(std::string_view text) {
  const size_t dash = text.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == text.size())
    return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || c == '-' || c == '.'))
      return false;
  }
  return true;
}

// The port path a kernel message names: a device's ("1-4.2"), or a hub's port ("usb3-port2" is
// port 2 of bus 3's root hub, 3-2; "1-4-port2" is port 2 of the hub at 1-4, 1-4.2). Empty for
// anything else.
std::string PortOfName(std::string_view name) {
  const size_t port_word = name.rfind("-port");
  if (port_word == std::string_view::npos)
    return IsPortPath(name) ? std::string(name) : std::string();
  const std::string_view hub = name.substr(0, port_word);
  const std::string_view number = name.substr(port_word + 5);
  if (number.empty() ||
      !std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return {};
  }
  if (hub.starts_with("usb") && hub.size() > 3 &&
      std::all_of(hub.begin() + 3, hub.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::string(hub.substr(3)) + "-" + std::string(number);
  }
  return IsPortPath(hub) ? std::string(hub) + "." + std::string(number) : std::string();
}

}  // namespace

UdevFacts ParseUdevDatabase(std::string_view text) {
  UdevFacts facts;
  facts.found = true;
  for (std::string_view line : Lines(text)) {
    if (line.size() < 2 || line[1] != ':')
      continue;
    const std::string_view value = line.substr(2);
    if (line[0] == 'E') {
      const size_t equals = value.find('=');
      if (equals != std::string_view::npos && equals > 0)
        facts.properties[std::string(value.substr(0, equals))] = value.substr(equals + 1);
    } else if ((line[0] == 'G' || line[0] == 'Q') && !value.empty()) {
      const std::string tag(value);
      bool known = false;
      for (const std::string& seen : facts.tags)
        known = known || seen == tag;
      if (!known)
        facts.tags.push_back(tag);
    }
  }
  return facts;
}

std::string UdevDataName(int bus, int address) {
  if (bus < 1 || bus > 0xFFFF || address < 1 || address > 128)
    return {};
  return "c189:" + std::to_string((bus - 1) * 128 + (address - 1));
}

std::string_view KernelMessage(std::string_view line) {
  // "<3>" from the kernel's own buffer, then "[   12.345678] ".
  if (line.starts_with("<")) {
    const size_t close = line.find('>');
    if (close != std::string_view::npos && close <= 4)
      line.remove_prefix(close + 1);
  }
  if (line.starts_with("[")) {
    const size_t close = line.find(']');
    if (close != std::string_view::npos)
      line.remove_prefix(close + 1);
    while (line.starts_with(" "))
      line.remove_prefix(1);
  }
  return line;
}

std::map<std::string, std::vector<std::string>> EnumerationTrouble(std::string_view log) {
  std::map<std::string, std::vector<std::string>> trouble;
  for (std::string_view line : Lines(log)) {
    const std::string_view message = KernelMessage(line);
    // "usb 1-4.2: ..." and "usb 1-4-port2: ..." from the USB core and its hub driver.
    if (!message.starts_with("usb "))
      continue;
    const std::string_view rest = message.substr(4);
    const size_t colon = rest.find(':');
    if (colon == std::string_view::npos)
      continue;
    const std::string port = PortOfName(rest.substr(0, colon));
    if (port.empty())
      continue;
    bool troubled = false;
    for (std::string_view word : kTroubleWords)
      troubled = troubled || message.find(word) != std::string_view::npos;
    if (troubled)
      trouble[port].emplace_back(message);
  }
  return trouble;
}

}  // namespace qvx::doctor
