// A socket of the station: a USB port a unit is plugged into, and what is happening there.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "station/operation.h"

namespace qvx::station {

enum class SocketState {
  kEmpty,    // no unit, or one that was pulled
  kWaiting,  // a unit plugged in that may not start yet (its records cannot be written)
  kLoading,  // operation k of n, with its progress
  kPassed,   // every operation completed; stays until the unit is pulled
  kFailed,   // with the reason; stays until the unit is pulled
};

struct SocketView {
  int number = 0;    // 1 up, in the order the sockets were first seen
  std::string port;  // "1-4.2", or where the library gives no locations, the unit's own name
  std::string serial;
  std::string description;
  std::string label;  // what was scanned for this unit, if anything
  SocketState state = SocketState::kEmpty;
  size_t operation = 0;  // the one running, or the one that stopped the load
  size_t operations = 0;
  int attempt = 0;
  int progress = 0;  // 0 to 100, of the running operation
  std::optional<LoadEnd> end;
  AttemptEnd last = AttemptEnd::kCompleted;  // how the load's last attempt ended, once it has
  std::string reason;                        // why the load failed, in words
  std::chrono::steady_clock::time_point started;
  double seconds = 0;  // of the load so far, or of the whole load once it ended
  uint64_t load = 0;   // the station's count of loads, 1 up; 0 before the first
};

struct Totals {
  int passed = 0;
  int failed = 0;  // failed and cut off
  int pulled = 0;
  double units_per_hour = 0;  // finished loads (passed or failed) per hour since the first began
};

}  // namespace qvx::station
