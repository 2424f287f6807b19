// What the station does to every unit plugged in, and the words for how it went.
#pragma once

#include <chrono>
#include <string>

#include "download/request.h"

namespace qvx::station {

// The most further attempts at an operation that a station may be asked for.
inline constexpr int kMaxRetries = 5;

// One operation of a unit's load, as the window's button would start it.
struct Operation {
  DownloadRequest request = DownloadRequest::Picture(0);
  // The file the file dialog gives; empty for the audio loop and for an erase.
  std::string file;
  // Erase the slot and write nothing.
  bool erase = false;
  // "banner 3 from logo.bmp", for the board and the records.
  std::string description;
};

// How one attempt at an operation ended.
enum class AttemptEnd {
  kCompleted,
  kRefused,       // the content was refused: never retried
  kFailed,        // a device fault: retried from its erase while retries are left
  kNotConnected,  // the unit could not be opened: retried as a device fault is
  kPulled,        // the unit was pulled during it
  kCutOff,        // the station abandoned it
};

// How a unit's load ended.
enum class LoadEnd { kPassed, kFailed, kPulled, kCutOff };

struct AttemptReport {
  size_t operation = 0;
  int attempt = 1;  // from 1
  AttemptEnd end = AttemptEnd::kCompleted;
  std::chrono::system_clock::time_point started;
  double seconds = 0;
  std::string reason;  // what the generator or the download said, when it did not complete
  // The reason was a box of the unit's window; a front end that shows boxes has shown it.
  bool reason_shown = false;
};

}  // namespace qvx::station
