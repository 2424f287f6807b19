// What a station shows its production line beyond its own screen: a server (the HTTP interface)
// that reads the station's state and events and takes control requests. The station's core knows
// servers only through this seam: the Linux programs serve over station_http/ (station_line/),
// the Windows programs have none yet.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "station/events.h"
#include "station_core/line_shipper.h"

namespace qvx::station_core {

class StationControl;

class LineServer {
 public:
  virtual ~LineServer() = default;
  // Hears every event of the station, after its records are on disk, from the station's threads.
  virtual station::StationEvents& events() = 0;
  // A set was opened: its operations are what the sockets now show.
  virtual void SetOpened() = 0;
  // A record line of this run is on disk (its text, without its line break); never blocks.
  virtual void LineOnDisk(const std::string& line) = 0;
  // The run's own turns. `cut`: the running loads are being cut off.
  virtual void Stopping(bool cut) = 0;
  virtual void Stopped() = 0;
  virtual void StartedAgain() = 0;
  virtual void RecordsHeldBack(const std::string& reason) = 0;
  // Where it serves and whether it takes control, for the front end's line about it.
  virtual std::string Describe() const = 0;
  // Stops serving: no request is answered after it returns.
  virtual void Stop() = 0;
};

// The options a server takes, as the command line gave them ("--http", "127.0.0.1:8080"), in order;
// no value when the command line ended before it.
using ServerOptions = std::vector<std::pair<std::string, std::optional<std::string>>>;

// What a server is to be made from: the options and the control it serves. Throws
// std::invalid_argument for options it refuses (a command line's error) and std::runtime_error
// when it cannot serve (the port is taken).
using ServerMaker = std::function<std::unique_ptr<LineServer>(const ServerOptions& options,
                                                              StationControl& control)>;

// What a front end's build offers its line: each empty where this build has none.
struct LineServices {
  ShipperMaker ship;
  ServerMaker serve;
};

}  // namespace qvx::station_core
