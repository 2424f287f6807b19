// One check's verdict, as the doctor prints it and writes it in JSON: its name, whether it
// passed, what it found, and for a failure what to do.
#pragma once

#include <string>
#include <vector>

namespace qvx::doctor {

struct Check {
  std::string check;  // "library", "present", "kernel-driver", "access", "held", "chip", "opens"
  bool ok = false;
  std::string text;
  std::string fix;  // empty when it passed
};

// One device with its checks, in the order they ran.
struct DeviceReport {
  std::string port;
  std::string serial;
  std::string product;
  uint16_t vendor = 0;
  uint16_t product_id = 0;
  bool generator = false;
  std::vector<Check> checks;
};

struct Report {
  Check library;
  Check search;  // what was found; fails when no generator was
  std::vector<DeviceReport> devices;
  // Every generator passed every check, and there was one.
  bool ok() const;
};

}  // namespace qvx::doctor
