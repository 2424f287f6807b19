// Loading one unit, with its retries.
#include "station/unit_load.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>

#include "download/connection.h"
#include "station/texts.h"

namespace qvx::station {
namespace {

// The unit's clock, which ends an abandoned or pulled load at its next wait or reading.
class CuttableClock final : public Clock {
 public:
  CuttableClock(Clock& clock, const LoadControl& control) : clock_(clock), control_(control) {}
  void BusyPause() override {
    Check();
    clock_.BusyPause();
  }
  void WaitSeconds(int32_t n) override {
    Check();
    clock_.WaitSeconds(n);
  }
  void WaitMilliseconds(int32_t n) override {
    Check();
    clock_.WaitMilliseconds(n);
  }
  std::chrono::milliseconds Now() override {
    Check();
    return clock_.Now();
  }
  void Idle() override {
    Check();
    clock_.Idle();
  }

 private:
  void Check() const {
    if (CutShort(control_))
      throw LoadAbandoned{};
  }
  Clock& clock_;
  const LoadControl& control_;
};

// One connection to the unit, closed when it goes.
class UnitConnection {
 public:
  UnitConnection(const UnitPlace& place, UnitWindow& window, Clock& clock, LibraryLoader& loader)
      : connection_(window, clock, loader) {
    if (place.location)
      connection_.OpenLocation(*place.location);
    else if (!place.serial.empty())
      connection_.OpenSerial(place.serial);
    connection_.Connect();
  }
  ~UnitConnection() {
    if (connection_.connected())
      connection_.driver.GuardedClose();
  }
  Connection& get() { return connection_; }

 private:
  Connection connection_;
};

// The first open of a unit that has just appeared: tried again, with pauses that grow, while the
// grace lasts, showing only the try that opened it or the last. Null when it did not open.
std::unique_ptr<UnitConnection> OpenSettling(const UnitPlace& place, UnitWindow& window,
                                             Clock& clock, LibraryLoader& loader,
                                             std::chrono::milliseconds grace) {
  std::chrono::milliseconds pause = kFirstOpenPause;
  for (;;) {
    const bool last_try = grace.count() <= 0;
    if (!last_try)
      window.HoldBack();
    auto connection = std::make_unique<UnitConnection>(place, window, clock, loader);
    const bool connected = connection->get().connected();
    if (!last_try)
      window.Release(connected ? UnitWindow::Held::kShow : UnitWindow::Held::kDrop);
    if (connected)
      return connection;
    if (last_try)
      return nullptr;
    connection.reset();
    const auto wait = std::min(pause, grace);
    clock.WaitMilliseconds(static_cast<int32_t>(wait.count()));
    grace -= wait;
    pause = std::min(pause * 2, kLongestOpenPause);
  }
}

AttemptEnd EndOf(Outcome outcome, const Operation& operation) {
  switch (outcome) {
    case Outcome::kCompleted:
      return AttemptEnd::kCompleted;
    case Outcome::kLeftErased:
      // An erase ends this way by design; a load whose file did not open was refused.
      return operation.erase ? AttemptEnd::kCompleted : AttemptEnd::kRefused;
    case Outcome::kRefused:
      return AttemptEnd::kRefused;
    case Outcome::kFailed:
    case Outcome::kNotConnected:
      break;
  }
  return AttemptEnd::kFailed;
}

LoadEnd LoadEndOf(AttemptEnd end) {
  switch (end) {
    case AttemptEnd::kCompleted:
      return LoadEnd::kPassed;
    case AttemptEnd::kPulled:
      return LoadEnd::kPulled;
    case AttemptEnd::kCutOff:
      return LoadEnd::kCutOff;
    case AttemptEnd::kRefused:
    case AttemptEnd::kFailed:
    case AttemptEnd::kNotConnected:
      break;
  }
  return LoadEnd::kFailed;
}

bool Retried(AttemptEnd end) {
  return end == AttemptEnd::kFailed || end == AttemptEnd::kNotConnected;
}

}  // namespace

bool CutShort(const LoadControl& control) {
  return (control.abandon != nullptr && control.abandon->load()) ||
         (control.pulled != nullptr && control.pulled->load());
}

LoadResult LoadUnit(const UnitPlace& place, const std::vector<Operation>& operations, int retries,
                    LibraryLoader& loader, Clock& clock, UnitWindow& window,
                    const LoadControl& control, LoadHooks& hooks) {
  CuttableClock unit_clock(clock, control);
  size_t current = 0;
  int attempt = 1;
  std::unique_ptr<UnitConnection> connection;
  bool first_open = true;
  AttemptEnd last = AttemptEnd::kCompleted;
  for (; current < operations.size(); ++current) {
    const Operation& operation = operations[current];
    for (attempt = 1;; ++attempt) {
      AttemptReport report{
          current, attempt, AttemptEnd::kCompleted, std::chrono::system_clock::now(), 0, {}};
      const auto start = std::chrono::steady_clock::now();
      hooks.Progress(current, attempt, 0);
      try {
        // The connection first, as the window makes it at start-up; then the operation.
        if (!connection) {
          connection = first_open
                           ? OpenSettling(place, window, unit_clock, loader, control.open_grace)
                           : std::make_unique<UnitConnection>(place, window, unit_clock, loader);
          first_open = false;
          if (connection && !connection->get().connected())
            connection.reset();
        }
        if (!connection) {
          report.end = AttemptEnd::kNotConnected;
        } else {
          window.BeginOperation(current, operations.size(), operation, attempt);
          const Outcome outcome = connection->get().downloads.Run(operation.request);
          report.end = EndOf(outcome, operation);
          if (outcome == Outcome::kLeftErased && !operation.erase) {
            report.reason = operation.file + text::kLeftErased;
            report.reason_shown = false;
          }
        }
      } catch (const LoadAbandoned&) {
        report.end = AttemptEnd::kCutOff;
      } catch (const std::exception& error) {
        window.ShowMessage(error.what());
        report.end = AttemptEnd::kFailed;
      }
      if (report.reason.empty() && report.end != AttemptEnd::kCompleted) {
        report.reason = window.last_message();
        report.reason_shown = !report.reason.empty();
      }
      if (report.end == AttemptEnd::kNotConnected) {
        report.reason = text::kCannotOpenReason;
        report.reason_shown = false;
      }
      // Seen gone by the station's look, or by a fresh listing once the unit stopped answering.
      const bool pulled =
          (control.pulled != nullptr && control.pulled->load()) ||
          ((report.end == AttemptEnd::kFailed || report.end == AttemptEnd::kNotConnected) &&
           !hooks.StillPlugged());
      if (report.end != AttemptEnd::kCompleted && pulled) {
        report.end = AttemptEnd::kPulled;
        report.reason = text::kPulledReason;
        report.reason_shown = false;
      } else if (report.end == AttemptEnd::kCutOff) {
        report.reason = text::kCutOffReason;
        report.reason_shown = false;
      }
      report.seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      hooks.AttemptEnded(report);
      last = report.end;
      if (report.end == AttemptEnd::kCompleted)
        break;
      // Whatever follows, this connection is done with: a retry starts from a fresh open.
      connection.reset();
      if (!Retried(report.end) || attempt > retries)
        return {LoadEndOf(report.end), current, report.reason, report.end};
    }
  }
  return {LoadEnd::kPassed, operations.size(), {}, last};
}

}  // namespace qvx::station
