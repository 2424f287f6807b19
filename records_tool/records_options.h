// qvx5120-records's command line, read into what each command needs; every mistake is refused
// with its text before anything is read or sent.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "records_db/record_filter.h"

namespace qvx::records_tool {

struct RecordsOptions {
  std::string command;            // ship, find, summary, export, migrate; empty with --help
  std::optional<std::string> db;  // --db, or ship's --to
  std::vector<std::string> files;
  records_db::RecordFilter filter;
  bool json = false;
  bool csv = false;
  size_t batch_lines = 10000;
  long wait_seconds = 60;
  bool help = false;
  bool version = false;
};

// The options, or the text of what is wrong with them.
std::variant<RecordsOptions, std::string> ParseRecordsOptions(const std::vector<std::string>& args);

}  // namespace qvx::records_tool
