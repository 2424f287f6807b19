// The plug-and-load station: watches the attached generators by listing them a few times a
// second and keeps one socket per USB port. A unit plugged into a socket is loaded at once, on a
// thread and a connection of its own, so a socket's fault never touches another; its socket then
// shows pass or fail until the unit is pulled. A unit left plugged in after its load is never
// loaded again until it has been pulled and plugged in again. A unit seen gone from its socket (or
// another in its place) ends its load at once, as pulled.
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
#include "station/load_gate.h"
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
  // (SystemClock, looking at the load's cut-off while it waits).
  std::function<std::unique_ptr<Clock>(const SocketView&)> unit_clock;
  // How long a unit just plugged in may take to open (unit_load.h).
  std::chrono::milliseconds open_grace = kOpenGrace;
};

class Station {
 public:
  // `events` hears what happens, one call at a time and never with the station's own lock held,
  // so a handler may call any function here. `gate` (may be null: none) holds loads back.
  Station(StationSettings settings, LibraryLoader& loader, StationEvents& events,
          LoadGate* gate = nullptr);
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
  // An event the watch found, delivered once the station's lock is let go.
  struct Found {
    enum class Kind { kPlugged, kEmptied } kind;
    SocketView view;
  };

  // With mutex_ held. `listed_after`: how many loads had ended when the listing began; `may_start`
  // what the gate said before it. Returns the sockets whose loads are to be started.
  std::vector<Socket*> Watch(const std::vector<AttachedUnit>& attached, uint64_t listed_after,
                             bool may_start, std::vector<Found>& found);
  void MarkPulled(Socket& socket, const std::vector<AttachedUnit>& attached);
  void Begin(Socket& socket);
  void Load(Socket& socket);
  void Ended(Socket& socket, const LoadResult& result);
  bool RunningLoads() const;
  bool StopAfterReached() const;
  void JoinEnded();
  Socket* Find(const AttachedUnit& unit);
  void Deliver(const std::vector<Found>& found);
  template <typename Call>
  void Emit(Call&& call);

  StationSettings settings_;
  LibraryLoader& loader_;
  StationEvents& events_;
  OpenGate open_gate_;
  LoadGate& gate_;
  UnitLister lister_;

  mutable std::mutex mutex_;  // the sockets and counts; never held while events are delivered
  std::mutex events_mutex_;   // one event at a time; never taken with mutex_ held
  std::condition_variable wake_;
  std::list<Socket> sockets_;  // stable addresses for the load threads
  std::atomic<bool> stopping_{false};
  std::atomic<bool> abandon_{false};
  std::string next_label_;
  int begun_ = 0;  // loads under way or ended, not counting those the gate held back
  int ended_ = 0;
  uint64_t last_load_ = 0;
  Totals totals_;
  std::optional<std::chrono::steady_clock::time_point> first_start_;
};

}  // namespace qvx::station
