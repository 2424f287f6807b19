// The report as the doctor prints it: one line per check for a person, or one JSON object for a
// program (the same verdicts, with the library's search in full).
#pragma once

#include <string>

#include "doctor/check.h"
#include "doctor/facts.h"

namespace qvx::doctor {

// A line per check ("  held           FAIL  in use by ..."), each failure followed by its fix,
// the devices under a line that names each, and the verdict last.
std::string RenderText(const Report& report);

// {"verdict", "library": {check, ok, text, fix, path, kind, version, tried}, "search": {...},
// "devices": [{port, serial, product, vid, pid, generator, checks}]}, on one line.
std::string RenderJson(const Report& report, const Facts& facts);

}  // namespace qvx::doctor
