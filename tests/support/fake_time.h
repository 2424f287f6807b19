// Time for the test clocks: it moves only with the waits the code under test makes, plus a step
// at every reading, so a poll of a silent generator reaches its time bound at once instead of
// after half a minute of real time.
#pragma once

#include <chrono>
#include <cstdint>

namespace qvx::test {

struct FakeTime {
  std::chrono::milliseconds now{0};
  std::chrono::milliseconds step_per_reading{10'000};

  std::chrono::milliseconds Read() {
    now += step_per_reading;
    return now;
  }
  void Wait(int32_t seconds) { now += std::chrono::seconds(seconds); }
};

}  // namespace qvx::test
