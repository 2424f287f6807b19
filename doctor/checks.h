// The checks, in the order they run, as functions of the facts alone (facts.h): each says
// whether it passed, what it found and, for a failure, what to do. Nothing here looks at the
// system, so a test states the facts and reads the verdicts.
#pragma once

#include <optional>
#include <string>

#include "doctor/check.h"
#include "doctor/facts.h"

namespace qvx::doctor {

Check CheckLibrary(const Facts& facts);
// What was found: how many generators and other FTDI devices, and the enumeration trouble the
// kernel logged on ports where no device is seen. Fails when there is no generator.
Check CheckSearch(const Facts& facts);

Check CheckPresent(const DeviceFacts& device, const Facts& facts);
// Linux: the kernel driver on the generator's interface; Windows: the driver Windows bound.
Check CheckKernelDriver(const DeviceFacts& device, const Facts& facts);
// Linux only.
Check CheckAccess(const DeviceFacts& device, const Facts& facts);
Check CheckHeld(const DeviceFacts& device, const Facts& facts);
Check CheckChip(const DeviceFacts& device, const Facts& facts);
Check CheckOpens(const DeviceFacts& device, const Facts& facts);

// Why the doctor must not open this generator (another program has it, the kernel's driver holds
// it, this user may not, no library): the reason in words, or nothing when it is free to open.
// The gathering asks it before it opens a unit, the opens check to say why it did not.
std::optional<std::string> WhyNotOpen(const DeviceFacts& device, const Facts& facts);

// Every check of every device, in order: generators get all of theirs, other FTDI devices only
// "present", which names them and says they are left alone.
Report Diagnose(const Facts& facts);

}  // namespace qvx::doctor
