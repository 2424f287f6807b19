// Reading the station window's command line.
#include "station_window/options.h"

#include "station_window/texts.h"

namespace qvx::station_window {

StationWindowOptions ParseStationWindowOptions(std::span<const std::string> args) {
  StationWindowOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& option = args[i];
    try {
      if (station_core::ReadStationOption(args, i, options))
        continue;
    } catch (const station_core::OptionError& error) {
      throw OptionsError(error.what());
    }
    if (option == "--help" || option == "-h")
      options.help = true;
    else if (option == "--version")
      options.version = true;
    else if (option == "--lock")
      options.lock = true;
    else
      throw OptionsError(text::UnknownOption(option));
  }
  if (options.lock && options.set_file.empty())
    throw OptionsError(text::kLockNeedsSet);
  return options;
}

}  // namespace qvx::station_window
