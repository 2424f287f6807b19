// The drivers Windows bound to FTDI devices: FTDI's own (FTDIBUS), under which FTDI's D2XX
// library sees a device, or WinUSB, libusbK or libusb0, which a tool such as Zadig puts there and
// which hide the device from D2XX. On Windows the records come from SetupAPI
// (ReadDriverRecords, windows_setupapi.cpp); matching them to the devices is plain code, which
// the tests feed with records, since Wine shows no USB devices.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "doctor/facts.h"

namespace qvx::doctor {

// One USB device's record as SetupAPI gives it.
struct DriverRecord {
  std::string instance_id;  // "USB\VID_0403&PID_6001\QVX00001"
  std::string service;      // the driver's service name; empty for none installed
  std::string provider;
  std::string version;
  std::string description;  // the product string the bus reported
};

// Every present USB device's record (SetupAPI); empty on other systems.
std::vector<DriverRecord> ReadDriverRecords();

// "USB\VID_0403&PID_6001\QVX00001" -> 0403, 6001, "QVX00001"; nothing for an instance id that
// is not a USB device's with vendor and product ids. Letters in any case.
std::optional<WindowsDriverFacts> ParseInstanceId(std::string_view instance_id);

// Gives each device with FTDI's vendor id its record, by serial number (then by product id when
// the library lists no serial); a record that matches no device, for FTDI's vendor id, becomes a
// device of its own: one the library does not list.
void AttachDriverRecords(std::vector<DeviceFacts>& devices,
                         const std::vector<DriverRecord>& records);

}  // namespace qvx::doctor
