// A clock that never waits: it counts the busy pauses and idles, records every fixed wait and moves
// a fake time instead, so a test sees the pacing without spending it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "port/clock.h"
#include "tests/support/fake_time.h"

namespace qvx::test {

class RecordingClock final : public Clock {
 public:
  void BusyPause() override {
    ++pauses;
    if (on_pause)
      on_pause();
  }
  void WaitSeconds(int32_t n) override {
    waits.push_back(n);
    time.Wait(n);
    if (on_wait)
      on_wait(waits.size());
  }
  void WaitMilliseconds(int32_t n) override {
    short_waits.push_back(n);
    time.now += std::chrono::milliseconds(n);
  }
  std::chrono::milliseconds Now() override { return time.Read(); }
  void Idle() override { ++idles; }

  int pauses = 0;
  int idles = 0;
  FakeTime time;
  std::vector<int32_t> waits;
  std::vector<int32_t> short_waits;  // milliseconds, the host's own pauses
  // Runs after each pause is counted.
  std::function<void()> on_pause;
  // Runs after each wait is recorded, with the number of waits so far.
  std::function<void(size_t)> on_wait;
};

}  // namespace qvx::test
