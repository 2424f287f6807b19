// Reading qvx5120-records's command line.
#include "records_tool/records_options.h"

#include <charconv>
#include <set>

#include "records_db/database.h"
#include "records_db/record_time.h"
#include "records_tool/records_texts.h"

namespace qvx::records_tool {
namespace {

using records_db::HashPrefix;
using records_db::TypedTime;

// The options each command takes besides its files.
const std::set<std::string>& OptionsOf(const std::string& command) {
  static const std::set<std::string> kFilters{"--serial",     "--work-order",  "--label",
                                              "--set-sha256", "--file-sha256", "--since",
                                              "--until",      "--db"};
  static const std::set<std::string> kShip{"--to", "--batch-lines", "--wait"};
  static const std::set<std::string> kFind = [] {
    auto options = kFilters;
    options.insert("--json");
    return options;
  }();
  static const std::set<std::string> kSummary{"--work-order", "--json", "--db"};
  static const std::set<std::string> kExport = [] {
    auto options = kFilters;
    options.insert("--csv");
    return options;
  }();
  static const std::set<std::string> kMigrate{"--db"};
  static const std::set<std::string> kNone;
  if (command == "ship")
    return kShip;
  if (command == "find")
    return kFind;
  if (command == "summary")
    return kSummary;
  if (command == "export")
    return kExport;
  if (command == "migrate")
    return kMigrate;
  return kNone;
}

const char* WhatFor(const std::string& option) {
  if (option == "--db" || option == "--to")
    return "a URL";
  if (option == "--since" || option == "--until")
    return "a time";
  if (option == "--set-sha256" || option == "--file-sha256")
    return "a SHA-256";
  if (option == "--batch-lines" || option == "--wait")
    return "a number";
  if (option == "--serial")
    return "a serial number";
  if (option == "--work-order")
    return "a work order";
  return "a label";
}

std::optional<long> Count(const std::string& typed, long least, long most) {
  long value = 0;
  const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), value);
  if (error != std::errc() || end != typed.data() + typed.size() || value < least || value > most)
    return std::nullopt;
  return value;
}

// Takes one option's value into `options`; the text of what is wrong, or nothing.
std::optional<std::string> Take(RecordsOptions& options, const std::string& option,
                                const std::string& value) {
  auto& filter = options.filter;
  auto once = [&](std::optional<std::string>& slot) -> std::optional<std::string> {
    if (slot)
      return text::Twice(option);
    slot = value;
    return std::nullopt;
  };
  if (option == "--db" || option == "--to") {
    if (auto refused = records_db::RefusedUrl(value))
      return option + ": " + *refused;
    return once(options.db);
  }
  if (option == "--serial")
    return once(filter.serial);
  if (option == "--work-order")
    return once(filter.work_order);
  if (option == "--label")
    return once(filter.label);
  if (option == "--set-sha256" || option == "--file-sha256") {
    auto& slot = option == "--set-sha256" ? filter.set_sha256 : filter.file_sha256;
    const auto hash = HashPrefix(value);
    if (!hash)
      return text::NotAHash(option, value);
    if (slot)
      return text::Twice(option);
    slot = *hash;
    return std::nullopt;
  }
  if (option == "--since" || option == "--until") {
    auto& slot = option == "--since" ? filter.since : filter.until;
    const auto time = TypedTime(value);
    if (!time)
      return text::NotATime(option, value);
    if (slot)
      return text::Twice(option);
    slot = *time;
    return std::nullopt;
  }
  constexpr long kMostLines = 1000000;
  constexpr long kLongestWait = 86400;
  if (option == "--batch-lines") {
    const auto count = Count(value, 1, kMostLines);
    if (!count)
      return text::NotACount(option, value, 1, kMostLines);
    options.batch_lines = static_cast<size_t>(*count);
    return std::nullopt;
  }
  const auto count = Count(value, 0, kLongestWait);
  if (!count)
    return text::NotACount(option, value, 0, kLongestWait);
  options.wait_seconds = *count;
  return std::nullopt;
}

}  // namespace

std::variant<RecordsOptions, std::string> ParseRecordsOptions(
    const std::vector<std::string>& args) {
  RecordsOptions options;
  if (args.empty())
    return std::string(text::kNoCommand);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    options.help = true;
    return options;
  }
  if (args.size() == 1 && args[0] == "--version") {
    options.version = true;
    return options;
  }
  options.command = args[0];
  static const std::set<std::string> kCommands{"ship", "find", "summary", "export", "migrate"};
  if (!kCommands.contains(options.command))
    return text::NotACommand(options.command);
  const auto& allowed = OptionsOf(options.command);
  bool only_files = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_files || !arg.starts_with("-") || arg == "-") {
      options.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_files = true;
      continue;
    }
    if (!allowed.contains(arg))
      return text::NotAnOption(options.command, arg);
    if (arg == "--json" || arg == "--csv") {
      (arg == "--json" ? options.json : options.csv) = true;
      continue;
    }
    if (i + 1 == args.size())
      return text::NeedsValue(arg, WhatFor(arg));
    if (auto wrong = Take(options, arg, args[++i]))
      return *wrong;
  }
  const std::string& command = options.command;
  if (command == "ship") {
    if (!options.db)
      return std::string(text::kShipNeedsTo);
    if (options.files.empty())
      return std::string(text::kShipNeedsFiles);
  } else if (command == "migrate") {
    if (!options.db || !options.files.empty())
      return std::string(text::kMigrateNeedsDb);
  } else {
    if (options.db && !options.files.empty())
      return std::string(text::kDbOrFiles);
    if (!options.db && options.files.empty())
      return std::string(text::kNoSource);
    if (command == "summary" && !options.filter.work_order)
      return std::string(text::kSummaryNeedsWorkOrder);
    if (command == "export" && !options.csv)
      return std::string(text::kExportNeedsCsv);
  }
  return options;
}

}  // namespace qvx::records_tool
