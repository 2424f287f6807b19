// Reading the station window's command line.
#include "station_window/options.h"

#include <charconv>

#include "station/operation.h"
#include "station_window/texts.h"

namespace qvx::station_window {

StationWindowOptions ParseStationWindowOptions(std::span<const std::string> args) {
  StationWindowOptions options;
  bool retries_given = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    const auto value = [&](std::string& into) {
      if (i + 1 >= args.size())
        throw OptionsError(text::Missing(option));
      if (!into.empty())
        throw OptionsError(text::Twice(option));
      into = args[++i];
      if (into.empty())
        throw OptionsError(text::Missing(option));
    };
    if (option == "--help" || option == "-h") {
      options.help = true;
    } else if (option == "--version") {
      options.version = true;
    } else if (option == "--set") {
      value(options.set_file);
    } else if (option == "--operator") {
      value(options.operator_name);
    } else if (option == "--work-order") {
      value(options.work_order);
    } else if (option == "--record") {
      value(options.record_file);
    } else if (option == "--lock") {
      options.lock = true;
    } else if (option == "--retries") {
      std::string typed;
      value(typed);
      if (retries_given)
        throw OptionsError(text::Twice(option));
      retries_given = true;
      int count = -1;
      const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), count);
      if (error != std::errc() || end != typed.data() + typed.size() || count < 0 ||
          count > station::kMaxRetries)
        throw OptionsError(text::NotARetryCount(typed, station::kMaxRetries));
      options.retries = count;
    } else {
      throw OptionsError(text::UnknownOption(option));
    }
  }
  if (options.lock && options.set_file.empty())
    throw OptionsError(text::kLockNeedsSet);
  return options;
}

}  // namespace qvx::station_window
