// Watching the sockets and running their loads.
#include "station/station.h"

#include <algorithm>
#include <utility>

#include "station/texts.h"
#include "station/unit_load.h"

namespace qvx::station {

struct Station::Socket {
  SocketView view;
  bool plugged = false;  // listed at the last look
  std::thread thread;
  bool done = true;       // the thread, if any, has finished its work
  uint64_t ended_at = 0;  // the station's count of ended loads when this socket's load ended
};

// What a load asks of the station, for one socket.
class Station::Hooks final : public LoadHooks {
 public:
  Hooks(Station& station, Socket& socket) : station_(station), socket_(socket) {}

  void Progress(size_t operation, int attempt, int position) override {
    const std::lock_guard lock(station_.mutex_);
    socket_.view.operation = operation;
    socket_.view.attempt = attempt;
    socket_.view.progress = position;
  }
  void AttemptEnded(const AttemptReport& report) override {
    const std::lock_guard lock(station_.mutex_);
    socket_.view.seconds = SecondsSince(socket_.view.started);
    station_.events_.AttemptEnded(socket_.view, report);
  }
  // The same unit in the same socket: another serial there means this one was swapped out.
  bool StillPlugged() override {
    // Not a structured binding: clang 14 cannot capture one.
    const std::pair<std::string, std::string> unit_here = [&] {
      const std::lock_guard lock(station_.mutex_);
      return std::pair(socket_.view.port, socket_.view.serial);
    }();
    const auto attached = station_.lister_.List();
    return std::any_of(attached.begin(), attached.end(), [&](const AttachedUnit& unit) {
      return unit.port == unit_here.first && unit.serial == unit_here.second;
    });
  }

  static double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }

 private:
  Station& station_;
  Socket& socket_;
};

Station::Station(StationSettings settings, LibraryLoader& loader, StationEvents& events)
    : settings_(std::move(settings)), loader_(loader), events_(events), lister_(loader) {
  settings_.retries = std::clamp(settings_.retries, 0, kMaxRetries);
}

Station::~Station() {
  Abandon();
  for (Socket& socket : sockets_) {
    if (socket.thread.joinable())
      socket.thread.join();
  }
}

void Station::Run(const std::function<void()>& tick) {
  for (;;) {
    // First the tick, so that a stop it passes on holds for every unit this look finds.
    if (tick)
      tick();
    const uint64_t listed_after = [&] {
      const std::lock_guard lock(mutex_);
      return static_cast<uint64_t>(ended_);
    }();
    const std::vector<AttachedUnit> attached = lister_.List();
    std::unique_lock lock(mutex_);
    JoinEnded();
    Watch(attached, listed_after);
    if ((stopping_ || abandon_ || StopAfterReached()) && !RunningLoads())
      break;
    // A load that ends, a stop or an abandon wakes the watch early.
    wake_.wait_for(lock, settings_.poll_interval);
  }
  std::unique_lock lock(mutex_);
  while (RunningLoads())
    wake_.wait(lock);
  JoinEnded();
  lock.unlock();
  if (tick)
    tick();
}

void Station::Stop() {
  stopping_ = true;
  const std::lock_guard lock(mutex_);
  wake_.notify_all();
}

void Station::Abandon() {
  stopping_ = true;
  abandon_ = true;
  const std::lock_guard lock(mutex_);
  wake_.notify_all();
}

void Station::SetNextLabel(std::string label) {
  const std::lock_guard lock(mutex_);
  next_label_ = std::move(label);
}

std::string Station::NextLabel() const {
  const std::lock_guard lock(mutex_);
  return next_label_;
}

std::vector<SocketView> Station::Sockets() const {
  const std::lock_guard lock(mutex_);
  std::vector<SocketView> views;
  for (const Socket& socket : sockets_) {
    views.push_back(socket.view);
    if (socket.view.state == SocketState::kLoading)
      views.back().seconds = Hooks::SecondsSince(socket.view.started);
  }
  return views;
}

Totals Station::totals() const {
  const std::lock_guard lock(mutex_);
  Totals totals = totals_;
  if (first_start_) {
    const double hours = std::max(Hooks::SecondsSince(*first_start_), 1.0) / 3600;
    totals.units_per_hour = (totals.passed + totals.failed) / hours;
  }
  return totals;
}

bool Station::RunningLoads() const {
  return std::any_of(sockets_.begin(), sockets_.end(),
                     [](const Socket& socket) { return !socket.done; });
}

bool Station::StopAfterReached() const {
  return settings_.stop_after && ended_ >= *settings_.stop_after;
}

void Station::JoinEnded() {
  for (Socket& socket : sockets_) {
    if (socket.done && socket.thread.joinable())
      socket.thread.join();
  }
}

Station::Socket* Station::Find(const AttachedUnit& unit) {
  for (Socket& socket : sockets_) {
    if (socket.view.port == unit.port)
      return &socket;
  }
  return nullptr;
}

void Station::Watch(const std::vector<AttachedUnit>& attached, uint64_t listed_after) {
  for (Socket& socket : sockets_) {
    const bool listed = std::any_of(attached.begin(), attached.end(), [&](const AttachedUnit& u) {
      return u.port == socket.view.port;
    });
    if (listed)
      continue;
    socket.plugged = false;
    // A load under way finds out for itself, at its next call to the unit.
    if (socket.done && socket.view.state != SocketState::kEmpty) {
      socket.view.state = SocketState::kEmpty;
      events_.Emptied(socket.view);
    }
  }
  for (const AttachedUnit& unit : attached) {
    Socket* socket = Find(unit);
    if (socket == nullptr) {
      socket = &sockets_.emplace_back();
      socket->view.number = static_cast<int>(sockets_.size());
      socket->view.port = unit.port;
    }
    // Another serial in a socket whose load has ended is a unit swapped between two looks.
    const bool swapped = socket->plugged && socket->done && unit.serial != socket->view.serial;
    if (swapped && socket->view.state != SocketState::kEmpty) {
      socket->view.state = SocketState::kEmpty;
      events_.Emptied(socket->view);
    }
    if ((socket->plugged && !swapped) || !socket->done)
      continue;
    // A load that ended while the listing was taken may have ended for the unit's pull: only a
    // listing taken since says whether it is still there.
    if (socket->ended_at > listed_after)
      continue;
    socket->plugged = true;
    socket->view.state = SocketState::kEmpty;
    socket->view.serial = unit.serial;
    socket->view.description = unit.description;
    socket->view.label.clear();
    events_.Plugged(socket->view);
    const bool may_start =
        !stopping_ && !abandon_ && !(settings_.stop_after && begun_ >= *settings_.stop_after);
    if (may_start)
      Start(*socket, unit);
  }
}

void Station::Start(Socket& socket, const AttachedUnit& unit) {
  SocketView& view = socket.view;
  view.label = std::exchange(next_label_, {});
  view.state = SocketState::kLoading;
  view.operation = 0;
  view.operations = settings_.operations.size();
  view.attempt = 1;
  view.progress = 0;
  view.end.reset();
  view.reason.clear();
  view.started = std::chrono::steady_clock::now();
  view.seconds = 0;
  view.load = static_cast<uint64_t>(++begun_);
  if (!first_start_)
    first_start_ = view.started;
  events_.LoadStarting(view);
  if (socket.thread.joinable())
    socket.thread.join();
  socket.done = false;
  socket.thread = std::thread(
      [this, &socket, place = UnitPlace{unit.location, unit.serial}] { Load(socket, place); });
}

void Station::Load(Socket& socket, UnitPlace place) {
  const SocketView starting = [&] {
    const std::lock_guard lock(mutex_);
    return socket.view;
  }();
  std::unique_ptr<Clock> clock =
      settings_.unit_clock ? settings_.unit_clock(starting) : std::make_unique<SystemClock>();
  Hooks hooks(*this, socket);
  LoadResult result;
  if (!place.location && socket.view.port.starts_with("#")) {
    // Without a location, a blank or shared serial number cannot say which unit to open.
    result = {LoadEnd::kFailed, 0, text::kCannotTellApart};
  } else {
    result =
        LoadUnit(place, settings_.operations, settings_.retries, loader_, *clock, abandon_, hooks);
  }
  const std::lock_guard lock(mutex_);
  SocketView& view = socket.view;
  view.end = result.end;
  view.reason = result.reason;
  view.operation = result.stopped_at;
  view.seconds = Hooks::SecondsSince(view.started);
  view.state = result.end == LoadEnd::kPassed ? SocketState::kPassed : SocketState::kFailed;
  ++ended_;
  socket.ended_at = static_cast<uint64_t>(ended_);
  switch (result.end) {
    case LoadEnd::kPassed:
      ++totals_.passed;
      break;
    case LoadEnd::kPulled:
      ++totals_.pulled;
      break;
    case LoadEnd::kFailed:
    case LoadEnd::kCutOff:
      ++totals_.failed;
      break;
  }
  events_.LoadEnded(view);
  if (result.end == LoadEnd::kPulled) {
    // The unit is gone: the socket is free, and the unit's return is a fresh plug.
    view.state = SocketState::kEmpty;
    socket.plugged = false;
    events_.Emptied(view);
  }
  socket.done = true;
  wake_.notify_all();
}

}  // namespace qvx::station
