// Pinging a window and summing up the round trips; see stall_meter.h.
#include "tests/windows/stall_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qvx::driver {
namespace {

constexpr DWORD kPingIntervalMilliseconds = 2;
// Long enough that a window stalled for seconds is still measured rather than cut off.
constexpr UINT kPingTimeoutMilliseconds = 60000;

double MillisecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

StallMeter::~StallMeter() {
  Stop();
}

void StallMeter::Begin(HWND window) {
  Stop();
  window_ = window;
  pings_.clear();
  stop_ = false;
  QueryPerformanceCounter(&begin_);
  thread_ = CreateThread(nullptr, 0, PingLoop, this, 0, nullptr);
}

double StallMeter::Elapsed() const {
  return MillisecondsSince(begin_);
}

StallFigures StallMeter::End(double long_threshold_ms) {
  StallFigures figures;
  figures.wall_ms = Elapsed();
  Stop();
  std::vector<double> sorted;
  for (const Ping& ping : pings_) {
    sorted.push_back(ping.round_trip_ms);
    if (ping.round_trip_ms >= long_threshold_ms)
      figures.long_pings.push_back(ping);
  }
  std::sort(sorted.begin(), sorted.end());
  figures.pings = sorted.size();
  if (!sorted.empty()) {
    figures.longest_ms = sorted.back();
    // Nearest rank: the smallest round trip that 99 % of them do not exceed.
    const auto rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(sorted.size())));
    figures.p99_ms = sorted[std::max<size_t>(rank, 1) - 1];
  }
  return figures;
}

void StallMeter::Stop() {
  if (!thread_)
    return;
  stop_ = true;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

DWORD WINAPI StallMeter::PingLoop(void* context) {
  auto* meter = static_cast<StallMeter*>(context);
  while (!meter->stop_) {
    LARGE_INTEGER sent;
    QueryPerformanceCounter(&sent);
    const double sent_ms = meter->Elapsed();
    DWORD_PTR result = 0;
    // SMTO_NORMAL: wait for the answer however long the window takes, as a user would.
    const bool answered = SendMessageTimeoutW(meter->window_, WM_NULL, 0, 0, SMTO_NORMAL,
                                              kPingTimeoutMilliseconds, &result) != 0;
    const double round_trip = MillisecondsSince(sent);
    // A window that is gone answers nothing and counts for nothing.
    if (answered || GetLastError() == ERROR_TIMEOUT)
      meter->pings_.push_back({sent_ms, round_trip});
    Sleep(kPingIntervalMilliseconds);
  }
  return 0;
}

std::string StallLine(const StallFigures& figures) {
  char line[160];
  std::snprintf(line, sizeof line, "stalls wall %.2f s longest %.1f ms p99 %.1f ms pings %zu",
                figures.wall_ms / 1000.0, figures.longest_ms, figures.p99_ms, figures.pings);
  return line;
}

}  // namespace qvx::driver
