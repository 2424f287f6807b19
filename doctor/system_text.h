// The two texts of the system the doctor reads by hand: a device's record in udev's database
// (/run/udev/data/c189:N: "E:KEY=VALUE" properties, "G:" and "Q:" tags, one a line) and the
// kernel's log (lines "<3>[   12.345678] usb 1-4.2: device descriptor read/64, error -71"), from
// which it takes the enumeration trouble logged for a port. Both may hold anything: a record
// written by another udev version, a log full of other lines, bytes that are not text.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "doctor/facts.h"

namespace qvx::doctor {

UdevFacts ParseUdevDatabase(std::string_view text);

// The udev database's file of a USB device: usbfs's character devices are major 189, minor
// (bus - 1) * 128 + (address - 1). Empty for a bus or address out of range.
std::string UdevDataName(int bus, int address);

// A kernel log line without its level and time stamp: "usb 1-4.2: new full-speed USB device".
std::string_view KernelMessage(std::string_view line);

// The log's lines that tell of trouble enumerating or powering a device, by the port path they
// name ("1-4.2"): error -71 and other descriptor read failures, over-current, not enough power.
std::map<std::string, std::vector<std::string>> EnumerationTrouble(std::string_view log);

}  // namespace qvx::doctor
