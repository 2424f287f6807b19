// What the HTTP interface asks of a station. The station's front end implements it over its
// session and station; the interface calls it from its own threads, many at once, so every call
// must be safe from any thread and quick: a snapshot taken under the station's lock and nothing
// longer, never a wait for a load.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "station/socket.h"

namespace qvx::station_http {

enum class RunState {
  kRunning,
  kStopping,         // no new load starts; the running ones finish
  kStopped,          // nothing runs; Start may begin again
  kRecordsHeldBack,  // the record file cannot be written: no load starts until it can
};

struct StationStatus {
  std::string set_path;  // absolute; empty when the operations came from the command line
  std::string set_sha256;
  std::string operator_name;
  std::string work_order;
  RunState state = RunState::kStopped;
  std::string record_failure;  // why records are held back, in words
  station::Totals totals;
  std::string version;
  std::string host;
  // Each operation's description, in order ("banner 3 from logo.bmp").
  std::vector<std::string> operations;
  std::string next_label;  // what the next unit plugged in is labelled; empty: nothing waits
  // Record lines not yet shipped elsewhere, where the station ships its records.
  std::optional<uint64_t> records_not_shipped;
};

enum class ControlAction { kStop, kCutOff, kStart, kLabel };

// A control request that carried the token, for the record line the station writes of it.
struct ControlRequest {
  ControlAction action = ControlAction::kStop;
  std::chrono::system_clock::time_point when;
  std::string from;   // the client's address, numeric
  std::string label;  // for kLabel
};

// RecordsAfter's answer when the lines asked for are no longer kept: its words say where they are.
class RecordsGone : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class StationService {
 public:
  virtual ~StationService() = default;

  virtual StationStatus Status() = 0;
  // One view per socket, in the board's order (the order the sockets were first seen).
  virtual std::vector<station::SocketView> Sockets() = 0;

  // As Stop on the station's own screen: no new load starts, the running ones finish; with `cut`,
  // the running loads end at their next wait, as cut off.
  virtual void Stop(bool cut) = 0;
  // Starts a stopped station again: why it cannot, in words, or nothing.
  virtual std::optional<std::string> Start() = 0;
  // The next unit plugged in gets this label, as a scan would give it.
  virtual void Label(std::string label) = 0;
  // Writes the request as a record line of its own, before it is carried out.
  virtual void RecordControl(const ControlRequest& request) = 0;

  // The record lines this run wrote, in order, from the one after its `after`-th: at most `most`.
  // Throws RecordsGone when they are no longer kept.
  virtual std::vector<std::string> RecordsAfter(uint64_t after, size_t most) = 0;
};

}  // namespace qvx::station_http
