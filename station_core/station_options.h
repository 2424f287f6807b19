// The station's options, read the same way by qvx5120-load and both station windows: the set, the
// records, who runs it, and retries; and the one reader of whole numbers on a command line.
#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "station_core/line_server.h"

namespace qvx::station_core {

struct StationOptions {
  // --set FILE: the content set.
  std::string set_file;
  // --record FILE: where the records go, over the set's own `record`.
  std::string record_file;
  // --operator TEXT, --work-order TEXT: into every record.
  std::string operator_name;
  std::string work_order;
  // --retries N: further attempts at an operation that failed through a device fault.
  std::optional<int> retries;
  // --stop-after N: the station stops once N loads have ended.
  std::optional<int> stop_after;
  // --ship URL: each record line, once on disk, goes on to the line's database there too.
  std::string ship_url;
  // --http and its companions (--http-token, --http-cert, --http-key, --http-host), as given (no
  // value: the command line ended first); the server reads and checks them.
  ServerOptions server_options;
  bool serves() const { return !server_options.empty(); }
};

// An option whose value is missing, repeated or not a number it takes.
class OptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole number `typed` is, from `least` to `most`; nothing for anything else (a sign, a space,
// a fraction, a number out of range).
std::optional<int> WholeNumber(std::string_view typed, int least, int most);

// `typed` as a whole number from `least` to `most`, the value of `option`. Throws OptionError.
int WholeNumberOption(std::string_view option, std::string_view typed, int least, int most);

// Reads the station option at args[next] and its value, moving `next` to the last argument it
// took; false, with nothing taken, when args[next] is not a station option. Throws OptionError.
bool ReadStationOption(std::span<const std::string> args, size_t& next, StationOptions& options);

}  // namespace qvx::station_core
