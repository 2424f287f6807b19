// The two delay primitives that pace the generator. Everything that waits goes through a Clock, so
// tests can run without real delays and record every wait.
#pragma once

#include <cstdint>
#include <functional>

namespace qvx {

class Clock {
 public:
  virtual ~Clock() = default;
  // A short fixed amount of processor work between device commands.
  virtual void BusyPause() = 0;
  // Whole seconds of wall clock: ends at the first whole-second reading at or past start + n.
  virtual void WaitSeconds(int32_t n) = 0;
};

class SystemClock final : public Clock {
 public:
  // `idle` runs between clock readings (the window uses it to stay painted); may be empty.
  explicit SystemClock(std::function<void()> idle = {});
  void BusyPause() override;
  void WaitSeconds(int32_t n) override;

 private:
  std::function<void()> idle_;
};

}  // namespace qvx
