// The two delay primitives that pace the generator. Everything that waits goes through a Clock, so
// tests can run without real delays and record every wait.
#pragma once

#include <chrono>
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
  // A short pause of the host's own, not one the generator asks for: between tries of an open.
  virtual void WaitMilliseconds(int32_t n) = 0;
  // Monotonic time since some fixed point: the measure of how long the generator stays silent.
  virtual std::chrono::milliseconds Now() = 0;
  // A chance for the window to repaint during a long device step; cheap enough to call often.
  virtual void Idle() = 0;
};

class SystemClock final : public Clock {
 public:
  // `idle` runs between clock readings (the window uses it to stay painted); may be empty.
  explicit SystemClock(std::function<void()> idle = {});
  void BusyPause() override;
  void WaitSeconds(int32_t n) override;
  void WaitMilliseconds(int32_t n) override;
  std::chrono::milliseconds Now() override;
  // Runs the idle hook at most once per kIdleInterval of wall time.
  void Idle() override;

  static constexpr std::chrono::milliseconds kIdleInterval{20};

 private:
  std::function<void()> idle_;
  std::chrono::steady_clock::time_point last_idle_{};
};

}  // namespace qvx
