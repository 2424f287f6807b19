// qvx5120-load --station: the station core behind the loader's terminal, with the loader's steps
// (from the command line or a set), its records and its exit statuses.
#pragma once

#include "cli/load_command.h"
#include "cli/load_run.h"
#include "content/content_set.h"

namespace qvx::cli {

// Runs the station until it is stopped (two stop requests cut the running loads off) or
// --stop-after loads have ended. `set` is checked; its files are copied before anything else is
// done with them. Returns kExitCompleted when every load that ended passed, kExitDevice when one
// did not or no driver can be loaded, kExitRefused when a file cannot be copied or is not the
// file pinned, kExitNotRecorded when records could not be written.
int RunStation(const LoadCommand& command, ContentSet& set, LoaderContext& context);

}  // namespace qvx::cli
