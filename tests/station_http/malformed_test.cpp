// 500 malformed requests, of twenty-five kinds, from clients with and without the token: each is
// refused with a 4xx (or its connection closed), and afterwards the station has been asked for
// nothing, has published nothing, and still answers and takes control.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

#include "tests/station_http/malformed_requests.h"
#include "tests/station_http/served_station.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;

TEST(Malformed, FiveHundredRequestsTouchNothing) {
  ServerLimits limits = TestLimits();
  limits.connection.request_time = std::chrono::milliseconds(500);
  ServedStation served(LoopbackSettings(true), limits);
  ASSERT_EQ(served.start_error, std::nullopt);
  served.station.Plug("1-1.2", "QVX00002");
  const StationStatus before = served.station.Status();
  const uint64_t events_before = served.feed.last();

  constexpr int kRequests = 500;
  constexpr int kClients = 8;
  std::vector<std::thread> clients;
  std::mutex mutex;
  std::vector<std::string> unexpected;
  std::atomic<int> refused{0};
  for (int client = 0; client < kClients; ++client) {
    clients.emplace_back([&, client] {
      Malformed malformed(served.HostPort(), 20261207 + static_cast<uint32_t>(client));
      for (int i = client; i < kRequests; i += kClients) {
        const std::string answer = served.Raw(malformed.Make(i));
        const int status = StatusOf(answer);
        const bool json =
            answer.find("\r\nContent-Type: application/json\r\n") != std::string::npos;
        // Refused with a reason, or the connection closed: nothing else.
        if (answer.empty() || (status >= 400 && status < 500 && json)) {
          ++refused;
          continue;
        }
        const std::lock_guard lock(mutex);
        unexpected.push_back("kind " + std::to_string(i % 25) + ": " + answer.substr(0, 200));
      }
    });
  }
  for (std::thread& client : clients)
    client.join();
  EXPECT_EQ(refused.load(), kRequests);
  EXPECT_EQ(unexpected, std::vector<std::string>{});

  // The station was asked for nothing and told nothing.
  const FakeStation::Calls calls = served.station.calls();
  EXPECT_EQ(calls.stops + calls.cuts + calls.starts, 0);
  EXPECT_TRUE(calls.labels.empty());
  EXPECT_TRUE(calls.recorded.empty());
  EXPECT_EQ(served.feed.last(), events_before);
  const StationStatus after = served.station.Status();
  EXPECT_EQ(station_http::StateWord(after.state), station_http::StateWord(before.state));
  EXPECT_EQ(after.next_label, before.next_label);
  EXPECT_EQ(served.station.Sockets().at(0).state, station::SocketState::kLoading);

  // And it still answers, and takes control with the token.
  httplib::Client client = served.Client();
  const auto station = client.Get("/api/v1/station");
  ASSERT_TRUE(station);
  EXPECT_EQ(station->status, 200);
  const auto label = client.Post("/api/v1/label", {{"Authorization", std::string(kTestBearer)}},
                                 R"({"label":"A-1001"})", "application/json");
  ASSERT_TRUE(label);
  EXPECT_EQ(label->status, 200);
  EXPECT_EQ(served.station.calls().labels, std::vector<std::string>{"A-1001"});
}

}  // namespace
}  // namespace qvx::test
