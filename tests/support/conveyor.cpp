#include "tests/support/conveyor.h"

#include <cstdio>

namespace qvx::test {

std::string Conveyor::PortOf(int index) {
  return "1-" + std::to_string(index / 15 + 1) + "." + std::to_string(index % 15 + 1);
}

std::string Conveyor::SerialOf(int index) {
  char serial[16];
  std::snprintf(serial, sizeof serial, "QVX%05d", index + 1);
  return serial;
}

bool Conveyor::Fill(int limit) {
  const std::lock_guard lock(mutex_);
  bool changed = false;
  for (int socket = 0; socket < sockets_ && plugs_ < limit; ++socket) {
    const std::string port = PortOf(socket);
    if (in_socket_.contains(port))
      continue;
    std::string serial;
    do
      serial = SerialOf(next_++ % serials_);
    while (in_use_.contains(serial));
    in_socket_[port] = serial;
    if (log_)
      std::fprintf(stderr, "plug %s %s\n", port.c_str(), serial.c_str());
    in_use_.insert(serial);
    ++plugs_;
    changed = true;
  }
  if (changed)
    Write();
  return plugs_ < limit;
}

void Conveyor::Pull(const std::string& port, const char* why, const std::function<void()>& seen) {
  const std::lock_guard lock(mutex_);
  if (log_)
    std::fprintf(stderr, "pull %s %s %s\n", port.c_str(), in_socket_[port].c_str(), why);
  if (const auto found = in_socket_.find(port); found != in_socket_.end()) {
    in_use_.erase(found->second);
    in_socket_.erase(found);
    Write();
  }
  if (seen)
    seen();
}

void Conveyor::Write() {
  std::vector<std::string> lines;
  order_.clear();
  for (const auto& [port, serial] : in_socket_) {
    order_[port] = static_cast<int>(lines.size());
    lines.push_back(serial + " " + port);
  }
  rack_.Write(lines);
}

}  // namespace qvx::test
