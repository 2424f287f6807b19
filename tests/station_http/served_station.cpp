// Serving the fake station, and the clients.
#include "tests/station_http/served_station.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <stdexcept>

namespace qvx::test {

HttpSettings LoopbackSettings(bool with_token) {
  HttpSettings settings;
  settings.listen.address = "127.0.0.1";
  settings.listen.port = 0;
  if (with_token)
    settings.token = kTestToken;
  return settings;
}

ServerLimits TestLimits() {
  ServerLimits limits;
  limits.event_streams = 8;
  limits.other_requests = 8;
  return limits;
}

ServedStation::ServedStation(HttpSettings settings, ServerLimits limits)
    : server(std::move(settings), station, feed, limits), start_error(server.Start()) {}

std::string ServedStation::HostPort() const {
  return "127.0.0.1:" + std::to_string(server.port());
}

httplib::Client ServedStation::Client() const {
  httplib::Client client("127.0.0.1", server.port());
  client.set_read_timeout(5, 0);
  client.set_connection_timeout(5, 0);
  return client;
}

std::string ServedStation::Raw(const std::string& bytes, bool more_to_come,
                               std::chrono::milliseconds wait) const {
  return RawExchange(server.port(), bytes, more_to_come, wait);
}

std::string RawExchange(int port, const std::string& bytes, bool more_to_come,
                        std::chrono::milliseconds wait) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    throw std::runtime_error("cannot connect to the test server");
  }
  // The server may answer and close before all is sent: what it sent back still counts.
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0)
      break;
    sent += static_cast<size_t>(n);
  }
  if (!more_to_come)
    shutdown(fd, SHUT_WR);
  std::string answer;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0)
      break;
    char buffer[4096];
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0)
      break;
    answer.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return answer;
}

int StatusOf(const std::string& answer) {
  if (!answer.starts_with("HTTP/1.1 ") || answer.size() < 12)
    return 0;
  return std::stoi(answer.substr(9, 3));
}

std::string BodyOf(const std::string& answer) {
  const size_t end = answer.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

std::string Curl(const std::vector<std::string>& arguments) {
  std::string command = "curl --silent --show-error --max-time 10";
  for (const std::string& argument : arguments) {
    command += " '";
    for (const char c : argument)
      command += c == '\'' ? std::string("'\\''") : std::string(1, c);
    command += "'";
  }
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr)
    throw std::runtime_error("cannot run curl");
  std::string output;
  std::array<char, 4096> buffer;
  while (const size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
    output.append(buffer.data(), n);
  pclose(pipe);
  return output;
}

}  // namespace qvx::test
