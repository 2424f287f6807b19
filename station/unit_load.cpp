// Loading one unit, with its retries.
#include "station/unit_load.h"

#include <chrono>
#include <exception>
#include <memory>

#include "download/connection.h"
#include "station/socket_window.h"
#include "station/texts.h"

namespace qvx::station {
namespace {

// The unit's clock, which ends an abandoned load at its next wait or reading.
class AbandonableClock final : public Clock {
 public:
  AbandonableClock(Clock& clock, const std::atomic<bool>& abandon)
      : clock_(clock), abandon_(abandon) {}
  void BusyPause() override {
    Check();
    clock_.BusyPause();
  }
  void WaitSeconds(int32_t n) override {
    Check();
    clock_.WaitSeconds(n);
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
    if (abandon_.load())
      throw LoadAbandoned{};
  }
  Clock& clock_;
  const std::atomic<bool>& abandon_;
};

// One connection to the unit, closed when it goes.
class UnitConnection {
 public:
  UnitConnection(const UnitPlace& place, SocketWindow& window, Clock& clock, LibraryLoader& loader)
      : connection_(window, clock, loader) {
    if (place.location)
      connection_.OpenLocation(*place.location);
    else
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
      break;
  }
  return LoadEnd::kFailed;
}

}  // namespace

LoadResult LoadUnit(const UnitPlace& place, const std::vector<Operation>& operations, int retries,
                    LibraryLoader& loader, Clock& clock, const std::atomic<bool>& abandon,
                    LoadHooks& hooks) {
  AbandonableClock unit_clock(clock, abandon);
  size_t current = 0;
  int attempt = 1;
  SocketWindow window([&](int position) { hooks.Progress(current, attempt, position); });
  std::unique_ptr<UnitConnection> connection;
  for (; current < operations.size(); ++current) {
    const Operation& operation = operations[current];
    for (attempt = 1;; ++attempt) {
      AttemptReport report{
          current, attempt, AttemptEnd::kCompleted, std::chrono::system_clock::now(), 0, {}};
      const auto start = std::chrono::steady_clock::now();
      window.SetOperation(operation);
      hooks.Progress(current, attempt, 0);
      try {
        if (!connection)
          connection = std::make_unique<UnitConnection>(place, window, unit_clock, loader);
        report.end = connection->get().connected()
                         ? EndOf(connection->get().downloads.Run(operation.request), operation)
                         : AttemptEnd::kFailed;
      } catch (const LoadAbandoned&) {
        report.end = AttemptEnd::kCutOff;
      } catch (const std::exception& error) {
        window.ShowMessage(error.what());
        report.end = AttemptEnd::kFailed;
      }
      report.reason = window.last_message();
      if (report.end == AttemptEnd::kFailed && !hooks.StillPlugged()) {
        report.end = AttemptEnd::kPulled;
        report.reason = text::kPulledReason;
      }
      if (report.end == AttemptEnd::kCutOff)
        report.reason = text::kCutOffReason;
      report.seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      hooks.AttemptEnded(report);
      if (report.end == AttemptEnd::kCompleted)
        break;
      // Whatever follows, this connection is done with: a retry starts from a fresh open.
      connection.reset();
      if (report.end != AttemptEnd::kFailed || attempt > retries)
        return {LoadEndOf(report.end), current, report.reason};
    }
  }
  return {LoadEnd::kPassed, operations.size(), {}};
}

}  // namespace qvx::station
