// qvx5120-records: ship record files to the line's database, and ask files or the database
// which loads each unit got (find), how a work order went (summary), or for the lines as CSV
// (export). See `qvx5120-records --help`.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "records_tool/records_options.h"

namespace qvx::records_tool {

// Exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUnreadable = 3;  // a file cannot be read
inline constexpr int kExitDatabase = 4;    // the database cannot be reached, or refused

int RunRecordsTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The ship command, its options read.
int RunShip(const RecordsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace qvx::records_tool
