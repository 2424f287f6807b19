// Reading the station's options.
#include "station_core/station_options.h"

#include <charconv>

#include "station/operation.h"
#include "station_core/texts.h"

namespace qvx::station_core {

std::optional<int> WholeNumber(std::string_view typed, int least, int most) {
  int number = 0;
  const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), number);
  if (typed.empty() || error != std::errc() || end != typed.data() + typed.size() ||
      number < least || number > most)
    return std::nullopt;
  return number;
}

int WholeNumberOption(std::string_view option, std::string_view typed, int least, int most) {
  const auto number = WholeNumber(typed, least, most);
  if (!number)
    throw OptionError(text::NotAWholeNumber(option, typed, least, most));
  return *number;
}

bool ReadStationOption(std::span<const std::string> args, size_t& next, StationOptions& options) {
  const std::string& option = args[next];
  auto value = [&](std::string_view what) -> const std::string& {
    if (next + 1 >= args.size())
      throw OptionError(text::Missing(option, what));
    const std::string& given = args[++next];
    if (given.empty())
      throw OptionError(text::Empty(option));
    return given;
  };
  auto once = [&](std::string& field, std::string_view what) {
    if (!field.empty())
      throw OptionError(text::Twice(option));
    field = value(what);
  };
  auto count_once = [&](std::optional<int>& field, int least, int most) {
    if (field)
      throw OptionError(text::Twice(option));
    field = WholeNumberOption(option, value(text::kCountWord), least, most);
  };
  if (option == "--set")
    once(options.set_file, text::kSetFileWord);
  else if (option == "--record")
    once(options.record_file, text::kRecordFileWord);
  else if (option == "--operator")
    once(options.operator_name, text::kTextWord);
  else if (option == "--work-order")
    once(options.work_order, text::kTextWord);
  else if (option == "--retries")
    count_once(options.retries, 0, station::kMaxRetries);
  else if (option == "--stop-after")
    count_once(options.stop_after, 1, 1'000'000'000);
  else if (option == "--ship")
    once(options.ship_url, text::kUrlWord);
  else if (option == "--http" || option.starts_with("--http-")) {
    // The server checks them, against each other too, when it is made.
    std::optional<std::string> given;
    if (next + 1 < args.size())
      given = args[++next];
    options.server_options.emplace_back(option, std::move(given));
  } else
    return false;
  return true;
}

}  // namespace qvx::station_core
