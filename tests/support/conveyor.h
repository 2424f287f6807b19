// A conveyor of units for a station on the virtual generator's rack: which unit is in which
// socket, written to the rack file whole on every change. Units come from a fixed pool of serial
// numbers, so they come back with their flash; the soak and the station's benchmarks share it.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "tests/support/rack_file.h"

namespace qvx::test {

class Conveyor {
 public:
  // `log`: every plug and pull on standard error.
  Conveyor(TestRack& rack, int sockets, int serials, bool log = false)
      : rack_(rack), sockets_(sockets), serials_(serials), log_(log) {}

  // Socket `index`'s port path: 1-1.1 up, fifteen to a hub.
  static std::string PortOf(int index);
  // Serial number `index` of the pool: QVX00001 up.
  static std::string SerialOf(int index);

  // Plugs a unit not in use into every free socket; false once `limit` plugs have been made.
  bool Fill(int limit);
  // `seen`, when given, runs with the socket still empty once the file says so: a listing there
  // makes the generator take the pull before a Fill can put another unit into the socket.
  void Pull(const std::string& port, const char* why = "", const std::function<void()>& seen = {});
  // Runs `check` with the rack held still, given the listed index of each port.
  template <typename Check>
  void Still(Check&& check) {
    const std::lock_guard lock(mutex_);
    check(order_);
  }
  int plugs() {
    const std::lock_guard lock(mutex_);
    return plugs_;
  }

 private:
  void Write();

  TestRack& rack_;
  int sockets_;
  int serials_;
  bool log_;
  std::mutex mutex_;
  std::map<std::string, std::string> in_socket_;  // port -> serial
  std::set<std::string> in_use_;
  std::map<std::string, int> order_;  // port -> listed index, in the rack's line order
  int next_ = 0;
  int plugs_ = 0;
};

}  // namespace qvx::test
