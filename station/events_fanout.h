// The station's events told to several listeners in turn (a front end, then a line server), each
// event to each of them before the next event. Listeners are added before any event can come.
#pragma once

#include <vector>

#include "station/events.h"

namespace qvx::station {

class EventsFanout final : public StationEvents {
 public:
  // Not while the station runs: its threads read the list without a lock.
  void Add(StationEvents* listener) {
    if (listener != nullptr)
      listeners_.push_back(listener);
  }

  void Plugged(const SocketView& socket) override {
    Each([&](StationEvents& to) { to.Plugged(socket); });
  }
  void LoadStarting(const SocketView& socket) override {
    Each([&](StationEvents& to) { to.LoadStarting(socket); });
  }
  void AttemptEnded(const SocketView& socket, const AttemptReport& report) override {
    Each([&](StationEvents& to) { to.AttemptEnded(socket, report); });
  }
  void LoadEnded(const SocketView& socket) override {
    Each([&](StationEvents& to) { to.LoadEnded(socket); });
  }
  void Emptied(const SocketView& socket) override {
    Each([&](StationEvents& to) { to.Emptied(socket); });
  }

 private:
  template <typename Call>
  void Each(Call call) {
    for (StationEvents* listener : listeners_)
      call(*listener);
  }

  std::vector<StationEvents*> listeners_;
};

}  // namespace qvx::station
