// The station's own words: socket states, how loads end, and its reasons.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include "station/operation.h"
#include "station/socket.h"

namespace qvx::station::text {

inline constexpr const char* kEmpty = "empty";
inline constexpr const char* kLoading = "loading";
inline constexpr const char* kPass = "pass";
inline constexpr const char* kFail = "fail";

inline constexpr const char* kPassed = "passed";
inline constexpr const char* kFailed = "failed";
inline constexpr const char* kPulled = "pulled";
inline constexpr const char* kCutOff = "cut off";

inline constexpr const char* kCompleted = "completed";
inline constexpr const char* kRefused = "refused";
inline constexpr const char* kNotConnected = "not connected";
inline constexpr const char* kWaiting = "waiting";

inline constexpr const char* kPulledReason = "the unit was pulled before its load ended";
inline constexpr const char* kCutOffReason = "the station was stopped before the load ended";
inline constexpr const char* kCannotTellApart =
    "its serial number is blank or shared with another unit, and the driver gives no location to "
    "open it by";
inline constexpr const char* kLeftErased = ": could not be opened; the slot was left erased";
// A socket whose unit stays unopenable once its time to settle after the plug has passed (held by
// another program, no access, the kernel's driver on it): the doctor names which.
inline constexpr const char* kCannotOpenReason =
    "the unit could not be opened; to see why, run qvx5120-doctor";
// Why a plugged unit waits instead of loading.
inline constexpr const char* kWaitingForRecords =
    "waiting: the record cannot be written, so no load starts";
inline constexpr const char* kNoDriver =
    "the driver library could not be loaded, so no generator can be seen";

inline const char* StateWord(SocketState state) {
  switch (state) {
    case SocketState::kEmpty:
      return kEmpty;
    case SocketState::kWaiting:
      return kWaiting;
    case SocketState::kLoading:
      return kLoading;
    case SocketState::kPassed:
      return kPass;
    case SocketState::kFailed:
      return kFail;
  }
  return kEmpty;
}

inline const char* EndWord(LoadEnd end) {
  switch (end) {
    case LoadEnd::kPassed:
      return kPassed;
    case LoadEnd::kFailed:
      return kFailed;
    case LoadEnd::kPulled:
      return kPulled;
    case LoadEnd::kCutOff:
      return kCutOff;
  }
  return kFailed;
}

inline const char* AttemptWord(AttemptEnd end) {
  switch (end) {
    case AttemptEnd::kCompleted:
      return kCompleted;
    case AttemptEnd::kRefused:
      return kRefused;
    case AttemptEnd::kFailed:
      return kFailed;
    case AttemptEnd::kNotConnected:
      return kNotConnected;
    case AttemptEnd::kPulled:
      return kPulled;
    case AttemptEnd::kCutOff:
      return kCutOff;
  }
  return kFailed;
}

// "1:05": a load's time in minutes and seconds, as the boards show it.
inline std::string MinutesSeconds(double seconds) {
  const long whole = std::lround(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace qvx::station::text
