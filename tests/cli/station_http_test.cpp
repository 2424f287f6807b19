// qvx5120-load --station served over HTTP on a virtual rack, driven by plain HTTP clients: the
// sockets by port, each unit's "passed" on the event stream and again after a reconnect with
// Last-Event-ID, control refused without the token and with a wrong one, a stop with the right
// one that lets the running load finish, the station still up afterwards and started again, each
// control request a record line of its own, the records over HTTP the file's, and 500 malformed
// requests during the loads that leave every load, record and flash whole.
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "tests/cli/station_fixture.h"
#include "tests/station_http/malformed_requests.h"
#include "tests/station_http/stream_reader.h"

namespace qvx::test {
namespace {

using namespace std::chrono_literals;

// A port nothing listens on now.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

// How many of `events` are of `type`.
size_t CountOf(const std::vector<Event>& events, const std::string& type) {
  return std::count_if(events.begin(), events.end(),
                       [&](const Event& event) { return event.type == type; });
}

class StationHttpTest : public StationTest {
 protected:
  void SetUp() override {
    StationTest::SetUp();
    token_file = TempDir() + "/station-token";
    std::ofstream(token_file) << kTestToken << "\n";
    chmod(token_file.c_str(), 0600);
    stop_requests = [this] { return ctrl_c.load(); };
  }

  std::future<ToolRun> Served() {
    return Station({"--http", "127.0.0.1:" + std::to_string(port), "--http-token", token_file});
  }

  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(5, 0);
    client.set_read_timeout(10, 0);
    return client;
  }

  // The station's JSON at `path`, once it answers; null after 30 s.
  nlohmann::json Get(const std::string& path) const {
    for (auto deadline = std::chrono::steady_clock::now() + 30s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
      if (const auto answer = Client().Get(path); answer && answer->status == 200)
        return nlohmann::json::parse(answer->body);
    }
    return nullptr;
  }

  // Waits until /api/v1/station says `state`.
  bool AwaitState(const std::string& state) const {
    for (auto deadline = std::chrono::steady_clock::now() + 30s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms)) {
      if (Get("/api/v1/station").value("state", "") == state)
        return true;
    }
    return false;
  }

  int Post(const std::string& path, const std::string& authorization) const {
    httplib::Headers headers;
    if (!authorization.empty())
      headers.emplace("Authorization", authorization);
    const auto answer = Client().Post(path, headers, "", "application/json");
    return answer ? answer->status : 0;
  }

  int port = FreePort();
  std::string token_file;
  std::atomic<int> ctrl_c{0};
};

TEST_F(StationHttpTest, TwoUnitsPassOnTheStreamAndOnlyTheTokenStopsTheStation) {
  // Unit 2 takes real time, so that the stop comes while its load runs.
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  setenv("QVX_VG_ERASE_MS", "300", 1);
  rack.Write({});
  ResetGenerator();
  auto station = Served();
  ASSERT_FALSE(Get("/api/v1/station").is_null()) << "the station never answered";
  StreamReader stream(port);
  ASSERT_TRUE(stream.AwaitType("snapshot", 1));

  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  ASSERT_TRUE(stream.AwaitType("passed", 1));
  const nlohmann::json sockets = Get("/api/v1/sockets");
  std::vector<std::string> ports;
  for (const auto& socket : sockets["sockets"])
    ports.push_back(socket.value("port", ""));
  EXPECT_EQ(ports, (std::vector<std::string>{"1-1.1", "1-1.2"})) << sockets.dump();

  // Control: no token, a wrong one, then the right one while unit 2 still loads.
  EXPECT_EQ(Post("/api/v1/stop", ""), 401);
  EXPECT_EQ(Post("/api/v1/stop", "Bearer not-this-stations-token-at-all"), 403);
  EXPECT_EQ(Get("/api/v1/station").value("state", ""), "running");
  EXPECT_EQ(Post("/api/v1/stop", kTestBearer), 200);
  // The running load finishes: unit 2 passes, and the station stops and stays up.
  ASSERT_TRUE(stream.AwaitType("passed", 2));
  ASSERT_TRUE(stream.AwaitType("stopped", 1));
  EXPECT_TRUE(AwaitState("stopped"));
  EXPECT_EQ(station.wait_for(300ms), std::future_status::timeout) << "it left after the stop";
  std::vector<std::string> passed;
  for (const Event& event : stream.Await(0)) {
    if (event.type == "passed")
      passed.push_back(event.data["socket"].value("serial", ""));
  }
  EXPECT_EQ(passed, (std::vector<std::string>{"QVX00001", "QVX00002"}));

  // A client that comes back with the first event it saw gets everything after it.
  const std::vector<Event> seen = stream.Await(0);
  const auto first =
      std::find_if(seen.begin(), seen.end(), [](const Event& event) { return !event.id.empty(); });
  ASSERT_NE(first, seen.end());
  StreamReader resumed(port, first->id);
  ASSERT_TRUE(resumed.AwaitType("stopped", 1));
  EXPECT_EQ(CountOf(resumed.Await(0), "passed"), 2u);
  EXPECT_EQ(CountOf(resumed.Await(0), "reset"), 0u);

  // Started again over HTTP, then Ctrl-C ends the run and the program.
  EXPECT_EQ(Post("/api/v1/start", kTestBearer), 200);
  ASSERT_TRUE(stream.AwaitType("started again", 1));
  ctrl_c = 1;
  ASSERT_EQ(station.wait_for(30s), std::future_status::ready);
  const ToolRun run = station.get();
  EXPECT_EQ(run.status, cli::kExitCompleted) << run.err;
  EXPECT_NE(run.err.find("HTTP interface on http://127.0.0.1:" + std::to_string(port) + "/"),
            std::string::npos)
      << run.err;

  // Each accepted control request is a line of its own; the refused ones are not.
  std::vector<std::string> controls;
  for (const Json& line : Records()) {
    if (line.value("outcome", "") == "control") {
      controls.push_back(line.value("description", ""));
      EXPECT_EQ(line.value("reason", ""), "from 127.0.0.1 over HTTP");
    }
  }
  EXPECT_EQ(controls, (std::vector<std::string>{"stop", "start"}));
}

TEST_F(StationHttpTest, MalformedRequestsDuringTheLoadsLeaveLoadsRecordsAndFlashWhole) {
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  setenv("QVX_VG_ERASE_MS", "200", 1);
  rack.Write({"QVX00001 1-1.1", "QVX00002 1-1.2"});
  ResetGenerator();
  auto station = Served();
  ASSERT_FALSE(Get("/api/v1/station").is_null()) << "the station never answered";

  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  for (int client = 0; client < 8; ++client) {
    clients.emplace_back([&, client] {
      Malformed malformed("127.0.0.1:" + std::to_string(port), 20261209 + client);
      for (int i = client; i < 500; i += 8) {
        const std::string answer = RawExchange(port, malformed.Make(i), false, 2s);
        const int status = StatusOf(answer);
        answered += answer.empty() || (status >= 400 && status < 500);
      }
    });
  }
  for (std::thread& client : clients)
    client.join();
  EXPECT_EQ(answered.load(), 500);
  ASSERT_TRUE(AwaitRecord("1-1.2", "passed"));
  ASSERT_TRUE(AwaitRecord("1-1.1", "passed"));

  // The records over HTTP are the file's lines, in order.
  const nlohmann::json records = Get("/api/v1/records?after=0");
  const std::vector<Json> file = Records();
  ASSERT_EQ(records["records"].size(), file.size());
  for (size_t i = 0; i < file.size(); ++i)
    EXPECT_EQ(records["records"][i], file[i]) << i;

  ctrl_c = 1;
  ASSERT_EQ(station.wait_for(30s), std::future_status::ready);
  const ToolRun run = station.get();
  EXPECT_EQ(run.status, cli::kExitCompleted) << run.err;
  // Nothing was controlled, and each load has its beginning, its two operations and its end.
  for (const auto& [load, lines] : Loads()) {
    ASSERT_EQ(lines.size(), 4u) << load;
    EXPECT_EQ(lines.front().value("outcome", ""), "started");
    EXPECT_EQ(lines.back().value("outcome", ""), "passed");
  }
  EXPECT_EQ(Loads().size(), 2u);
  const std::vector<uint8_t> one = UnitFlash(0), two = UnitFlash(1);
  const std::vector<uint8_t> alone = SingleUnitFlash();
  EXPECT_TRUE(one == alone);
  EXPECT_TRUE(two == alone);
}

}  // namespace
}  // namespace qvx::test
