// A fake station served by the real HTTP interface on a free loopback port, and the ways the
// tests talk to it: cpp-httplib's client, curl, and bytes sent as they are.
#pragma once

#include <httplib.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "station_http/http_server.h"
#include "tests/station_http/fake_station.h"

namespace qvx::test {

using station_http::HttpSettings;
using station_http::ServerLimits;

inline constexpr const char* kTestToken = "s3cret-token-0123456789";
inline constexpr const char* kTestBearer = "Bearer s3cret-token-0123456789";
inline constexpr const char* kTestRun = "3f9a1c2e";

// 127.0.0.1, a free port; with the token when asked.
HttpSettings LoopbackSettings(bool with_token = false);
// Fewer threads than a station's, so that a test starts its server quickly.
ServerLimits TestLimits();

struct ServedStation {
  explicit ServedStation(HttpSettings settings = LoopbackSettings(),
                         ServerLimits limits = TestLimits());

  std::string HostPort() const;  // "127.0.0.1:PORT"
  httplib::Client Client() const;
  // Sends `bytes` on a connection of its own and returns all the server sent before it closed
  // the connection, or before `wait` passed. `more_to_come`: the connection is left open for
  // sending, as a slow client leaves it; otherwise the client says it has sent all.
  std::string Raw(const std::string& bytes, bool more_to_come = false,
                  std::chrono::milliseconds wait = std::chrono::seconds(5)) const;

  station_http::EventFeed feed{kTestRun};
  FakeStation station{feed};
  station_http::HttpServer server;
  std::optional<std::string> start_error;
};

// ServedStation::Raw to any server on 127.0.0.1:`port`.
std::string RawExchange(int port, const std::string& bytes, bool more_to_come = false,
                        std::chrono::milliseconds wait = std::chrono::seconds(5));

// The status of an answer's first line ("HTTP/1.1 404 Not Found"), or 0.
int StatusOf(const std::string& answer);
// The body after the head of a whole answer.
std::string BodyOf(const std::string& answer);

// curl with these arguments: its standard output.
std::string Curl(const std::vector<std::string>& arguments);

}  // namespace qvx::test
