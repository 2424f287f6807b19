// The doctor's readers of text it takes from the system, on any bytes: a device's record in
// udev's database, the kernel's log, and sysfs's numbers. A record may come from another udev
// version, the log holds every line the kernel wrote, and none of it need be text.
//
// Invariants: nothing throws or crashes. Every property has a key of its own, without a line end
// or '=', and a value without a line end; every tag is there once, not empty, without a line end.
// Every line of trouble is a line of the input (its message part), starts with "usb ", and is
// filed under a port path of digits, '-' and '.'. A number taken from sysfs reads back as its
// text: four hex digits, or the decimal digits between blanks.
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>

#include "device/usb_sysfs.h"
#include "doctor/system_text.h"
#include "fuzz/operation_host.h"

namespace {

using qvx::fuzz::Require;

bool HasLineEnd(std::string_view text) {
  return text.find('\n') != std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const qvx::doctor::UdevFacts udev = qvx::doctor::ParseUdevDatabase(text);
  for (const auto& [key, value] : udev.properties) {
    Require(!key.empty() && !HasLineEnd(key) && key.find('=') == std::string::npos,
            "a property's key is one word of its line");
    Require(!HasLineEnd(value), "a property's value is the rest of its line");
    Require(text.find("E:" + key + "=") != std::string_view::npos, "a property is in the record");
  }
  std::set<std::string> tags;
  for (const std::string& tag : udev.tags) {
    Require(!tag.empty() && !HasLineEnd(tag), "a tag is the rest of its line");
    Require(tags.insert(tag).second, "each tag once");
  }

  for (const auto& [port, lines] : qvx::doctor::EnumerationTrouble(text)) {
    Require(!port.empty() && port.find_first_not_of("0123456789-.") == std::string::npos,
            "trouble is filed under a port path");
    for (const std::string& line : lines) {
      Require(line.starts_with("usb "), "trouble comes from the USB core");
      Require(text.find(line) != std::string_view::npos, "trouble is a line of the log");
    }
  }

  if (const auto word = qvx::ParseHexWord(text)) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04x", *word);
    std::string lower(text.substr(0, 4));
    for (char& c : lower)
      c = static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    Require(lower == hex, "a hex word reads back as its four digits");
  }
  if (const auto number = qvx::ParseDecimal(text)) {
    Require(*number >= 0 && *number <= 65535, "a decimal number is in range");
    Require(text.find(std::to_string(*number)) != std::string_view::npos,
            "a decimal number reads back from its digits");
  }
  return 0;
}
