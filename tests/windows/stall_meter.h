// How long a window goes without serving its message queue, seen from outside as the window
// system judges a hung window: a thread of the driver's own sends the window WM_NULL with
// SendMessageTimeout every couple of milliseconds and records each round trip. A round trip is
// the time from the send to the reply, so it is the rest of the stall the ping fell into; with a
// ping every 2 ms the longest round trip falls short of the longest stall by at most that much.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace qvx::driver {

// One ping: when it was sent, from Begin, and how long the answer took.
struct Ping {
  double sent_ms = 0;
  double round_trip_ms = 0;
};

struct StallFigures {
  double wall_ms = 0;     // from Begin to End
  double longest_ms = 0;  // the longest round trip
  double p99_ms = 0;      // 99 % of the round trips took at most this
  size_t pings = 0;
  std::vector<Ping> long_pings;  // those of at least the threshold given to End, in order
};

class StallMeter {
 public:
  StallMeter() = default;
  StallMeter(const StallMeter&) = delete;
  StallMeter& operator=(const StallMeter&) = delete;
  ~StallMeter();

  // Starts pinging `window` (forgetting an earlier span that was not ended).
  void Begin(HWND window);
  bool running() const { return thread_ != nullptr; }
  // Milliseconds since Begin.
  double Elapsed() const;
  // Stops pinging and sums up the round trips since Begin, keeping each of at least
  // `long_threshold_ms`.
  StallFigures End(double long_threshold_ms);

 private:
  static DWORD WINAPI PingLoop(void* meter);
  void Stop();

  HWND window_ = nullptr;
  HANDLE thread_ = nullptr;
  std::atomic<bool> stop_{false};
  LARGE_INTEGER begin_{};
  std::vector<Ping> pings_;  // written by the ping thread only while it runs
};

// "stalls wall 13.42 s longest 34.1 ms p99 32.0 ms pings 4000"
std::string StallLine(const StallFigures& figures);

}  // namespace qvx::driver
