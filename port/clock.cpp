// The real delays.
#include "port/clock.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>
#include <utility>

namespace qvx {

SystemClock::SystemClock(std::function<void()> idle) : idle_(std::move(idle)) {}

void SystemClock::BusyPause() {
  // 2000 dependent single-precision multiplications. The volatile store keeps every step; the value
  // overflows to infinity early on, which is harmless since nothing reads it.
  volatile float value = 1.0f;
  for (int i = 0; i < 2000; ++i) {
    value = value * 3.0f;
  }
}

void SystemClock::WaitSeconds(int32_t n) {
  // Same timing as a spin on whole seconds of wall clock, but the thread sleeps between readings
  // so a long download does not hold a processor core at full load.
  const std::time_t deadline = std::time(nullptr) + n;
  while (std::time(nullptr) < deadline) {
    if (idle_) {
      idle_();
      last_idle_ = std::chrono::steady_clock::now();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void SystemClock::WaitMilliseconds(int32_t n) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(n);
  while (std::chrono::steady_clock::now() < deadline) {
    if (idle_) {
      idle_();
      last_idle_ = std::chrono::steady_clock::now();
    }
    std::this_thread::sleep_until(
        std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(10)));
  }
}

std::chrono::milliseconds SystemClock::Now() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

void SystemClock::Idle() {
  if (!idle_)
    return;
  const auto now = std::chrono::steady_clock::now();
  if (now - last_idle_ < kIdleInterval)
    return;
  last_idle_ = now;
  idle_();
}

}  // namespace qvx
