// qvx5120-load --pin SET: the set as it stands with each file pinned by the SHA-256 of its bytes
// now, so that an engineer approves a set once and a station loads exactly that.
#pragma once

#include <string>

#include "cli/load_run.h"

namespace qvx::cli {

// Writes the pinned set to standard output, once it reads back as a set that loads; returns the
// exit status (kExitUsage for a malformed set, kExitRefused for a file that cannot be read or
// that its slot does not take).
int PrintPinned(const std::string& set_path, LoaderContext& context);

}  // namespace qvx::cli
