// The plug-and-load station: watches the attached generators by listing them a few times a
// second and keeps one socket per USB port. A unit plugged into a socket is loaded at once, on a
// thread and a connection of its own, so a socket's fault never touches another; its socket then
// shows pass or fail until the unit is pulled. A unit left plugged in after its load is never
// loaded again until it has been pulled and plugged in again.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/library_loader.h"
#include "port/clock.h"
#include "station/attached_units.h"
#include "station/events.h"
#include "station/operation.h"
#include "station/socket.h"
#include "station/unit_load.h"

namespace qvx::station {

struct StationSettings {
  std::vector<Operation> operations;
  // Further attempts at an operation that failed through a device fault.
  int retries = 0;
  // Stop once this many loads have ended (no more start once this many have begun).
  std::optional<int> stop_after;
  // How often the attached units are listed.
  std::chrono::milliseconds poll_interval{200};
  // Makes the clock of a load about to begin in this socket; when empty, loads wait in real time
  // (SystemClock).
  std::function<std::unique_ptr<Clock>(const SocketView&)> unit_clock;
};

class Station {
 public:
  Station(StationSettings settings, LibraryLoader& loader, StationEvents& events);
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  // False when the driver library could not be loaded: nothing can be watched.
  bool usable() const { return lister_.usable(); }

  // Watches and loads until stopped (or until stop_after loads have ended) and every running load
  // has ended. `tick` runs on this thread before each listing and once at the end: a board's
  // redraw, a look at signals.
  void Run(const std::function<void()>& tick = {});
  // No new load starts; Run returns once the running loads have ended. Any thread.
  void Stop();
  // Running loads end at their next wait, as cut off. Any thread.
  void Abandon();
  // The next unit plugged in gets this label (a scanned barcode). Any thread.
  void SetNextLabel(std::string label);
  // The label the next unit plugged in gets; empty when none waits. Any thread.
  std::string NextLabel() const;

  std::vector<SocketView> Sockets() const;
  Totals totals() const;
  bool stopping() const { return stopping_.load(); }

 private:
  struct Socket;
  class Hooks;

  // With mutex_ held.
  // `listed_after`: how many loads had ended when the listing began.
  void Watch(const std::vector<AttachedUnit>& attached, uint64_t listed_after);
  void Start(Socket& socket, const AttachedUnit& unit);
  void Load(Socket& socket, UnitPlace place);
  bool RunningLoads() const;
  bool StopAfterReached() const;
  void JoinEnded();
  Socket* Find(const AttachedUnit& unit);

  StationSettings settings_;
  LibraryLoader& loader_;
  StationEvents& events_;
  UnitLister lister_;

  mutable std::mutex mutex_;  // the sockets and counts; held while events are delivered
  std::condition_variable wake_;
  std::list<Socket> sockets_;  // stable addresses for the load threads
  std::atomic<bool> stopping_{false};
  std::atomic<bool> abandon_{false};
  std::string next_label_;
  int begun_ = 0;
  int ended_ = 0;
  Totals totals_;
  std::optional<std::chrono::steady_clock::time_point> first_start_;
};

}  // namespace qvx::station
