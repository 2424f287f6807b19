// Watching the sockets and running their loads.
#include "station/station.h"

#include <algorithm>
#include <utility>

#include "station/socket_window.h"
#include "station/texts.h"

namespace qvx::station {
namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Another attachment than the one the socket's unit came with: a re-plug, whether or not the
// unit's serial is the same. Only where the library told both apart (nonzero on both).
bool Replugged(uintptr_t at_plug, uintptr_t now) {
  return at_plug != 0 && now != 0 && at_plug != now;
}

}  // namespace

struct Station::Socket {
  SocketView view;
  bool plugged = false;      // listed at the last look
  uintptr_t attachment = 0;  // of the unit in the socket, as listed at its plug
  UnitPlace place;
  std::thread thread;
  bool done = true;       // the thread, if any, has finished its work
  uint64_t ended_at = 0;  // the station's count of ended loads when this socket's load ended
  std::atomic<bool> pulled{false};  // the look saw the loading unit gone
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
    const SocketView view = [&] {
      const std::lock_guard lock(station_.mutex_);
      socket_.view.seconds = SecondsSince(socket_.view.started);
      return socket_.view;
    }();
    station_.Emit([&](StationEvents& events) { events.AttemptEnded(view, report); });
  }
  // The same unit, from the same attachment, in the same socket.
  bool StillPlugged() override {
    // Not a structured binding: clang 14 cannot capture one.
    const AttachedUnit here = [&] {
      const std::lock_guard lock(station_.mutex_);
      return AttachedUnit{socket_.view.port, {}, socket_.view.serial, {}, socket_.attachment};
    }();
    const auto attached = station_.lister_.List();
    // A listing that did not come says nothing: the unit is taken to be there.
    if (!attached)
      return true;
    return std::any_of(attached->begin(), attached->end(), [&](const AttachedUnit& unit) {
      return unit.port == here.port && unit.serial == here.serial &&
             !Replugged(here.attachment, unit.attachment);
    });
  }

 private:
  Station& station_;
  Socket& socket_;
};

Station::Station(StationSettings settings, LibraryLoader& loader, StationEvents& events,
                 LoadGate* gate)
    : settings_(std::move(settings)),
      loader_(loader),
      events_(events),
      gate_(gate != nullptr ? *gate : open_gate_),
      lister_(loader) {
  settings_.retries = std::clamp(settings_.retries, 0, kMaxRetries);
}

Station::~Station() {
  Abandon();
  for (Socket& socket : sockets_) {
    if (socket.thread.joinable())
      socket.thread.join();
  }
}

template <typename Call>
void Station::Emit(Call&& call) {
  const std::lock_guard lock(events_mutex_);
  call(events_);
}

void Station::Deliver(const std::vector<Found>& found) {
  for (const Found& event : found) {
    Emit([&](StationEvents& events) {
      if (event.kind == Found::Kind::kPlugged)
        events.Plugged(event.view);
      else
        events.Emptied(event.view);
    });
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
    const bool may_start = gate_.MayStart();
    const auto attached = lister_.List();
    std::vector<Found> found;
    std::vector<Socket*> starts;
    if (attached) {
      const std::lock_guard lock(mutex_);
      JoinEnded();
      starts = Watch(*attached, listed_after, may_start, found);
    }
    // The plug is heard before the load it starts.
    Deliver(found);
    for (Socket* socket : starts) {
      if (socket->thread.joinable())
        socket->thread.join();
      socket->thread = std::thread([this, socket] { Load(*socket); });
    }
    std::unique_lock lock(mutex_);
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
  views.reserve(sockets_.size());
  for (const Socket& socket : sockets_) {
    views.push_back(socket.view);
    if (socket.view.state == SocketState::kLoading)
      views.back().seconds = SecondsSince(socket.view.started);
  }
  return views;
}

Totals Station::totals() const {
  const std::lock_guard lock(mutex_);
  Totals totals = totals_;
  if (first_start_) {
    const double hours = std::max(SecondsSince(*first_start_), 1.0) / 3600;
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

void Station::MarkPulled(Socket& socket, const std::vector<AttachedUnit>& attached) {
  const auto here = std::find_if(attached.begin(), attached.end(), [&](const AttachedUnit& unit) {
    return unit.port == socket.view.port;
  });
  const bool gone = here == attached.end() || here->serial != socket.view.serial ||
                    Replugged(socket.attachment, here->attachment);
  if (!gone)
    return;
  // The load ends at its next wait, at once when it is in one; what is in the socket now is a
  // fresh plug once it has.
  socket.pulled = true;
  socket.plugged = false;
}

std::vector<Station::Socket*> Station::Watch(const std::vector<AttachedUnit>& attached,
                                             uint64_t listed_after, bool may_start,
                                             std::vector<Found>& found) {
  const bool may_begin =
      !stopping_ && !abandon_ && !(settings_.stop_after && begun_ >= *settings_.stop_after);
  std::vector<Socket*> starts;
  auto begin = [&](Socket& socket) {
    if (!may_begin || (settings_.stop_after && begun_ >= *settings_.stop_after))
      return;
    if (!may_start) {
      socket.view.state = SocketState::kWaiting;
      socket.view.reason = text::kWaitingForRecords;
      return;
    }
    Begin(socket);
    starts.push_back(&socket);
  };
  for (Socket& socket : sockets_) {
    if (!socket.done) {
      MarkPulled(socket, attached);
      continue;
    }
    const bool listed = std::any_of(attached.begin(), attached.end(), [&](const AttachedUnit& u) {
      return u.port == socket.view.port;
    });
    if (listed)
      continue;
    socket.plugged = false;
    if (socket.view.state != SocketState::kEmpty) {
      socket.view.state = SocketState::kEmpty;
      found.push_back({Found::Kind::kEmptied, socket.view});
    }
  }
  for (const AttachedUnit& unit : attached) {
    Socket* socket = Find(unit);
    if (socket == nullptr) {
      socket = &sockets_.emplace_back();
      socket->view.number = static_cast<int>(sockets_.size());
      socket->view.port = unit.port;
    }
    if (!socket->done)
      continue;
    // Another serial, or another attachment, in a socket whose load has ended is a unit swapped
    // or plugged again between two looks.
    const bool swapped = socket->plugged && (unit.serial != socket->view.serial ||
                                             Replugged(socket->attachment, unit.attachment));
    if (swapped && socket->view.state != SocketState::kEmpty) {
      socket->view.state = SocketState::kEmpty;
      found.push_back({Found::Kind::kEmptied, socket->view});
    }
    if (socket->plugged && !swapped) {
      // A unit the gate held back tries again.
      if (socket->view.state == SocketState::kWaiting)
        begin(*socket);
      continue;
    }
    // A load that ended while the listing was taken may have ended for the unit's pull: only a
    // listing taken since says whether it is still there.
    if (socket->ended_at > listed_after)
      continue;
    socket->plugged = true;
    socket->attachment = unit.attachment;
    socket->place = {unit.location, unit.serial};
    socket->view.state = SocketState::kEmpty;
    socket->view.serial = unit.serial;
    socket->view.description = unit.description;
    socket->view.reason.clear();
    socket->view.label = std::exchange(next_label_, {});
    found.push_back({Found::Kind::kPlugged, socket->view});
    begin(*socket);
    // A label scanned for a unit that is not loaded now waits for the next plug.
    if (socket->view.state == SocketState::kEmpty)
      next_label_ = std::exchange(socket->view.label, {});
  }
  return starts;
}

void Station::Begin(Socket& socket) {
  SocketView& view = socket.view;
  view.state = SocketState::kLoading;
  view.operation = 0;
  view.operations = settings_.operations.size();
  view.attempt = 1;
  view.progress = 0;
  view.end.reset();
  view.reason.clear();
  view.started = std::chrono::steady_clock::now();
  view.seconds = 0;
  view.load = ++last_load_;
  ++begun_;
  if (!first_start_)
    first_start_ = view.started;
  socket.done = false;
  socket.pulled = false;
}

void Station::Load(Socket& socket) {
  const SocketView starting = [&] {
    const std::lock_guard lock(mutex_);
    return socket.view;
  }();
  if (!gate_.Admit(starting)) {
    // Nothing was sent: the unit waits for a look at which the gate opens again.
    const std::lock_guard lock(mutex_);
    --begun_;
    socket.view.state = SocketState::kWaiting;
    socket.view.reason = text::kWaitingForRecords;
    socket.done = true;
    wake_.notify_all();
    return;
  }
  Emit([&](StationEvents& events) { events.LoadStarting(starting); });
  const LoadControl control{&abandon_, &socket.pulled, settings_.open_grace};
  std::unique_ptr<Clock> clock;
  if (settings_.unit_clock) {
    clock = settings_.unit_clock(starting);
  } else {
    // Real waits, cut short within a few milliseconds of a pull or a cut-off.
    clock = std::make_unique<SystemClock>([&control] {
      if (CutShort(control))
        throw LoadAbandoned{};
    });
  }
  Hooks hooks(*this, socket);
  SocketWindow window([&](size_t operation, int attempt, int position) {
    hooks.Progress(operation, attempt, position);
  });
  LoadResult result;
  if (!socket.place.location && starting.port.starts_with("#")) {
    // Without a location, a blank or shared serial number cannot say which unit to open.
    result = {LoadEnd::kFailed, 0, text::kCannotTellApart, AttemptEnd::kFailed};
  } else {
    try {
      result = LoadUnit(socket.place, settings_.operations, settings_.retries, loader_, *clock,
                        window, control, hooks);
    } catch (const LoadAbandoned&) {
      // Cut short outside any operation (the clock's idle while nothing ran).
      result = {socket.pulled ? LoadEnd::kPulled : LoadEnd::kCutOff, 0,
                socket.pulled ? text::kPulledReason : text::kCutOffReason,
                socket.pulled ? AttemptEnd::kPulled : AttemptEnd::kCutOff};
    }
  }
  Ended(socket, result);
}

void Station::Ended(Socket& socket, const LoadResult& result) {
  const SocketView ended = [&] {
    const std::lock_guard lock(mutex_);
    SocketView& view = socket.view;
    view.end = result.end;
    view.last = result.last;
    view.reason = result.reason;
    view.operation = result.stopped_at;
    view.seconds = SecondsSince(view.started);
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
    return view;
  }();
  Emit([&](StationEvents& events) { events.LoadEnded(ended); });
  if (result.end == LoadEnd::kPulled) {
    // The unit is gone: the socket is free, and the unit's return is a fresh plug.
    const SocketView emptied = [&] {
      const std::lock_guard lock(mutex_);
      socket.view.state = SocketState::kEmpty;
      socket.plugged = false;
      return socket.view;
    }();
    Emit([&](StationEvents& events) { events.Emptied(emptied); });
  }
  const std::lock_guard lock(mutex_);
  socket.done = true;
  wake_.notify_all();
}

}  // namespace qvx::station
