// The interface's read-only side over real clients: the station, its sockets, its records, the
// board's files, and every request it refuses, with the status and reason it gives.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/station_http/served_station.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(served_.start_error, std::nullopt); }

  Json GetJson(const std::string& path, int status = 200) {
    httplib::Client client = served_.Client();
    const httplib::Result result = client.Get(path);
    EXPECT_TRUE(result) << path;
    if (!result)
      return {};
    EXPECT_EQ(result->status, status) << path << ": " << result->body;
    EXPECT_EQ(result->get_header_value("Content-Type"), "application/json");
    return Json::parse(result->body);
  }

  ServedStation served_;
};

TEST_F(ServerTest, TheStation) {
  EXPECT_EQ(GetJson("/api/v1/station"), Json::parse(R"({
      "set":{"path":"/jobs/line-4/station.toml",
             "sha256":"9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"},
      "operator":"ana","work_order":"WO-1182","state":"running",
      "totals":{"passed":0,"failed":0,"pulled":0,"units_per_hour":0.0},
      "version":"1.0.0","host":"line-pc-4",
      "operations":["banner 1 from id.bmp","pattern 0 from ramp.tst"],
      "next_label":"","run":"3f9a1c2e","control":false})"));
}

TEST_F(ServerTest, TheStationWithItsRecordsHeldBackSaysWhy) {
  served_.station.SetState(station_http::RunState::kRecordsHeldBack);
  const Json json = GetJson("/api/v1/station");
  EXPECT_EQ(json["state"], "records held back");
  EXPECT_TRUE(json.contains("record_failure"));
}

TEST_F(ServerTest, TheSocketsInTheBoardsOrder) {
  served_.station.Plug("1-1.3", "QVX00007", "A-1001");
  served_.station.Plug("1-1.2", "QVX00002");
  served_.station.Progress("1-1.3", 0, 55);
  served_.station.EndAttempt("1-1.2", station::AttemptEnd::kCompleted);
  served_.station.EndAttempt("1-1.2", station::AttemptEnd::kCompleted);
  served_.station.EndLoad("1-1.2", station::LoadEnd::kPassed);
  EXPECT_EQ(GetJson("/api/v1/sockets"), Json::parse(R"({"sockets":[
      {"number":1,"port":"1-1.3","serial":"QVX00007","description":"QVX5120I1","label":"A-1001",
       "state":"loading","operation":1,"operations":2,"operation_name":"banner 1 from id.bmp",
       "attempt":1,"progress":55,"seconds":1.0,"reason":"","end":null,"load":1},
      {"number":2,"port":"1-1.2","serial":"QVX00002","description":"QVX5120I1","label":"",
       "state":"pass","operation":2,"operations":2,"operation_name":"pattern 0 from ramp.tst",
       "attempt":1,"progress":0,"seconds":2.0,"reason":"","end":"passed","load":2}]})"));
  EXPECT_EQ(GetJson("/api/v1/station")["totals"],
            Json::parse(R"({"passed":1,"failed":0,"pulled":0,"units_per_hour":60.0})"));
}

TEST_F(ServerTest, TheRecordsAfterALine) {
  served_.station.AddRecord(R"({"outcome":"started","load":"a-1"})");
  served_.station.AddRecord(R"({"outcome":"completed","load":"a-1"})");
  served_.station.AddRecord("{\"outcome\":\"pass");  // cut short
  EXPECT_EQ(GetJson("/api/v1/records"), Json::parse(R"({"after":0,"next":3,"more":false,
      "records":[{"outcome":"started","load":"a-1"},{"outcome":"completed","load":"a-1"},
                 "{\"outcome\":\"pass"]})"));
  EXPECT_EQ(GetJson("/api/v1/records?after=2"), Json::parse(R"({"after":2,"next":3,"more":false,
      "records":["{\"outcome\":\"pass"]})"));
  EXPECT_EQ(GetJson("/api/v1/records?after=3"),
            Json::parse(R"({"after":3,"next":3,"more":false,"records":[]})"));
  EXPECT_EQ(GetJson("/api/v1/records?after=99"),
            Json::parse(R"({"after":99,"next":99,"more":false,"records":[]})"));
}

TEST(ServerRecords, ComeInPages) {
  ServerLimits limits = TestLimits();
  limits.records_per_answer = 2;
  ServedStation served(LoopbackSettings(), limits);
  ASSERT_EQ(served.start_error, std::nullopt);
  for (int i = 1; i <= 5; ++i)
    served.station.AddRecord("{\"line\":" + std::to_string(i) + "}");
  httplib::Client client = served.Client();
  std::vector<int> lines;
  uint64_t after = 0;
  for (bool more = true; more;) {
    const auto result = client.Get("/api/v1/records?after=" + std::to_string(after));
    ASSERT_TRUE(result);
    const Json page = Json::parse(result->body);
    for (const Json& record : page["records"])
      lines.push_back(record["line"]);
    EXPECT_EQ(page["after"], after);
    after = page["next"];
    more = page["more"];
  }
  EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST_F(ServerTest, TheBoardsPagesComeFromTheProgram) {
  httplib::Client client = served_.Client();
  for (const char* path : {"/", "/line"}) {
    const auto page = client.Get(path);
    ASSERT_TRUE(page) << path;
    EXPECT_EQ(page->status, 200) << path;
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_TRUE(page->body.starts_with("<!DOCTYPE html>")) << path;
    EXPECT_NE(page->body.find("/board/board.js"), std::string::npos);
    // Its own script and style only; it may read other stations.
    EXPECT_EQ(page->get_header_value("Content-Security-Policy"),
              "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
              "connect-src 'self' http: https:; base-uri 'none'; form-action 'none'; "
              "frame-ancestors 'none'");
    EXPECT_FALSE(page->has_header("Access-Control-Allow-Origin"));
  }
  const auto script = client.Get("/board/board.js");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
  EXPECT_NE(script->body.find("new EventSource("), std::string::npos);
  const auto style = client.Get("/board/board.css");
  ASSERT_TRUE(style);
  EXPECT_EQ(style->get_header_value("Content-Type"), "text/css; charset=utf-8");
  const auto icon = client.Get("/board/icon.svg");
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->get_header_value("Content-Type"), "image/svg+xml");
}

TEST_F(ServerTest, TheBoardsTextsAreTheTextsFile) {
  httplib::Client client = served_.Client();
  const auto texts = client.Get("/board/texts.js");
  ASSERT_TRUE(texts);
  const std::string prefix = "window.QVX_TEXTS = ";
  ASSERT_TRUE(texts->body.starts_with(prefix));
  const std::string json =
      texts->body.substr(prefix.size(), texts->body.rfind(';') - prefix.size());
  const Json words = Json::parse(json);
  EXPECT_EQ(words["pass"], "PASS");
  EXPECT_EQ(words["fail"], "FAIL");
  EXPECT_EQ(words["empty"], "Empty");
  EXPECT_EQ(words["socket"], "Socket {port}");
}

TEST_F(ServerTest, AnswersAreWholeWhateverRangeIsAskedFor) {
  httplib::Client client = served_.Client();
  for (const char* path : {"/api/v1/station", "/nothing"}) {
    const auto result = client.Get(path, {{"Range", "bytes=0-4"}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, std::string(path) == "/nothing" ? 404 : 200);
    EXPECT_NO_THROW(Json::parse(result->body)) << result->body;
    EXPECT_FALSE(result->has_header("Content-Range"));
  }
}

TEST_F(ServerTest, EveryAnswerForbidsSniffingAndCaching) {
  httplib::Client client = served_.Client();
  for (const char* path : {"/", "/api/v1/station", "/nothing"}) {
    const auto result = client.Get(path);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->get_header_value("X-Content-Type-Options"), "nosniff") << path;
    EXPECT_EQ(result->get_header_value("Cache-Control"), "no-store") << path;
    EXPECT_EQ(result->get_header_value("X-Frame-Options"), "DENY") << path;
  }
}

TEST_F(ServerTest, TheReadOnlyApiMayBeReadFromOtherStationsPages) {
  httplib::Client client = served_.Client();
  for (const char* path : {"/api/v1/station", "/api/v1/sockets", "/api/v1/station?x=1"}) {
    const auto result = client.Get(path, {{"Origin", "http://10.0.0.6:8080"}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->get_header_value("Access-Control-Allow-Origin"), "*") << path;
  }
  // The records are this station's own: no other site's page reads them.
  const auto records = client.Get("/api/v1/records", {{"Origin", "http://10.0.0.6:8080"}});
  ASSERT_TRUE(records);
  EXPECT_EQ(records->status, 200);
  EXPECT_FALSE(records->has_header("Access-Control-Allow-Origin"));
  const auto preflight = client.Options("/api/v1/sockets");
  ASSERT_TRUE(preflight);
  EXPECT_EQ(preflight->status, 204);
  EXPECT_EQ(preflight->get_header_value("Access-Control-Allow-Methods"), "GET, HEAD");
  EXPECT_EQ(preflight->get_header_value("Access-Control-Allow-Headers"), "Last-Event-ID");
  EXPECT_EQ(preflight->get_header_value("Allow"), "GET, HEAD, OPTIONS");
  // Control is never offered to another site's page: no CORS headers, so its browser refuses.
  const auto control = client.Options("/api/v1/stop");
  ASSERT_TRUE(control);
  EXPECT_EQ(control->status, 204);
  EXPECT_EQ(control->get_header_value("Allow"), "POST, OPTIONS");
  EXPECT_FALSE(control->has_header("Access-Control-Allow-Origin"));
  EXPECT_FALSE(control->has_header("Access-Control-Allow-Methods"));
}

struct RefusedCase {
  std::string request;  // as sent, "HOST" standing for the server's host and port
  int status;
  std::string error;
};

// This keeps the bytes of the case out of the test list.
void PrintTo(const RefusedCase& c, std::ostream* out) {
  std::string request = c.request.substr(0, 80);
  for (size_t at = request.find("\r\n"); at != std::string::npos; at = request.find("\r\n"))
    request.replace(at, 2, " | ");
  *out << c.status << " " << request;
}

class ServerRefusal : public ::testing::TestWithParam<RefusedCase> {};

std::string WithHost(std::string request, const std::string& host) {
  for (size_t at = request.find("HOST"); at != std::string::npos; at = request.find("HOST"))
    request.replace(at, 4, host);
  return request;
}

TEST_P(ServerRefusal, SaysWhyInJson) {
  ServedStation served;
  ASSERT_EQ(served.start_error, std::nullopt);
  const std::string answer = served.Raw(WithHost(GetParam().request, served.HostPort()));
  EXPECT_EQ(StatusOf(answer), GetParam().status) << answer;
  EXPECT_NE(answer.find("\r\nContent-Type: application/json\r\n"), std::string::npos) << answer;
  EXPECT_EQ(Json::parse(BodyOf(answer)), Json({{"error", GetParam().error}})) << answer;
}

constexpr const char* kNotFound = "there is nothing at this path";

RefusedCase Get(std::string path, int status, std::string error) {
  return {"GET " + path + " HTTP/1.1\r\nHost: HOST\r\nConnection: close\r\n\r\n", status,
          std::move(error)};
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ServerRefusal,
    ::testing::Values(
        Get("/nothing", 404, kNotFound), Get("/api/v1", 404, kNotFound),
        Get("/api/v2/station", 404, kNotFound), Get("/API/V1/STATION", 404, kNotFound),
        Get("/api/v1/station/", 404, kNotFound), Get("//api/v1/station", 404, kNotFound),
        Get("/./api/v1/station", 404, kNotFound), Get("/api/v1/../v1/station", 404, kNotFound),
        Get("/api/v1/%2e%2e/v1/station", 404, kNotFound), Get("/api/v1/station%00", 404, kNotFound),
        Get("/api/v1/station%2f", 404, kNotFound), Get("/board/", 404, kNotFound),
        Get("/board/../board/board.js", 404, kNotFound),
        Get("/board/%2e%2e/board/board.js", 404, kNotFound),
        Get("/board/..%2fboard.js", 404, kNotFound), Get("/board/board.js/", 404, kNotFound),
        Get("/board/nothing.js", 404, kNotFound), Get("/etc/passwd", 404, kNotFound),
        Get("/index.html", 404, kNotFound), Get("/favicon.ico", 404, kNotFound),
        Get("/api/v1/station?x=1", 400, "unknown parameter \"x\""),
        Get("/api/v1/sockets?after=1", 400, "unknown parameter \"after\""),
        Get("/api/v1/records?after=x", 400, "\"after\" is a whole number from 0 up"),
        Get("/api/v1/records?after=-1", 400, "\"after\" is a whole number from 0 up"),
        Get("/api/v1/records?after=", 400, "\"after\" is a whole number from 0 up"),
        Get("/api/v1/records?after=99999999999999999999", 400,
            "\"after\" is a whole number from 0 up"),
        Get("/api/v1/records?after=1&after=2", 400, "a parameter is given twice"),
        Get("/api/v1/events?x=1", 400, "unknown parameter \"x\""),
        Get("/api/v1/stop", 405, "this path does not take GET (it takes POST)"),
        RefusedCase{"PUT /api/v1/station HTTP/1.1\r\nHost: HOST\r\nContent-Length: 0\r\n"
                    "Connection: close\r\n\r\n",
                    405, "this path does not take PUT (it takes GET, HEAD)"},
        RefusedCase{"DELETE /api/v1/sockets HTTP/1.1\r\nHost: HOST\r\nConnection: close\r\n\r\n",
                    405, "this path does not take DELETE (it takes GET, HEAD)"},
        RefusedCase{"POST /api/v1/station HTTP/1.1\r\nHost: HOST\r\nContent-Length: 0\r\n"
                    "Connection: close\r\n\r\n",
                    405, "this path does not take POST (it takes GET, HEAD)"},
        RefusedCase{"PATCH / HTTP/1.1\r\nHost: HOST\r\nContent-Length: 0\r\n"
                    "Connection: close\r\n\r\n",
                    405, "this path does not take PATCH (it takes GET, HEAD)"},
        RefusedCase{"GET /api/v1/station HTTP/1.1\r\nHost: HOST\r\nRange: pages=1\r\n"
                    "Connection: close\r\n\r\n",
                    416, "this station serves whole answers only, not ranges"},
        // DNS rebinding: a name that is not this station's.
        RefusedCase{"GET /api/v1/station HTTP/1.1\r\nHost: attacker.example\r\n"
                    "Connection: close\r\n\r\n",
                    421,
                    "the Host header names neither this station's address nor a name given with "
                    "--http-host"},
        RefusedCase{"GET / HTTP/1.1\r\nHost: 127.0.0.1:1\r\nConnection: close\r\n\r\n", 421,
                    "the Host header names neither this station's address nor a name given with "
                    "--http-host"},
        RefusedCase{"GET / HTTP/1.1\r\nConnection: close\r\n\r\n", 400,
                    "the request has no Host header"},
        RefusedCase{"GET / HTTP/1.1\r\nHost: HOST\r\nHost: attacker.example\r\n"
                    "Connection: close\r\n\r\n",
                    400, "the request is not well-formed HTTP"},
        RefusedCase{"GET / HTTP/1.1\r\nHost: HOST\r\nX-Long: " + std::string(30000, 'a') +
                        "\r\nConnection: close\r\n\r\n",
                    431, "the request's line and headers are too large"},
        RefusedCase{"GET / HTTP/1.1\r\nHost: HOST\r\n" +
                        [] {
                          std::string many;
                          for (int i = 0; i < 2000; ++i)
                            many += "X-Many-" + std::to_string(i) + ": many\r\n";
                          return many;
                        }() +
                        "\r\n",
                    431, "the request's line and headers are too large"},
        RefusedCase{"GET /" + std::string(10000, 'a') + " HTTP/1.1\r\nHost: HOST\r\n\r\n", 414,
                    "the request's line and headers are too large"},
        RefusedCase{"BREW / HTTP/1.1\r\nHost: HOST\r\nConnection: close\r\n\r\n", 400,
                    "the request is not well-formed HTTP"},
        RefusedCase{"GET / HTTP/9.9\r\nHost: HOST\r\nConnection: close\r\n\r\n", 400,
                    "the request is not well-formed HTTP"},
        RefusedCase{"GET /api/v1/station\r\nHost: HOST\r\n\r\n", 400,
                    "the request is not well-formed HTTP"}));

TEST(ServerLimits, AClientThatTricklesItsRequestIsCutOff) {
  ServerLimits limits = TestLimits();
  limits.connection.request_time = std::chrono::milliseconds(300);
  ServedStation served(LoopbackSettings(), limits);
  ASSERT_EQ(served.start_error, std::nullopt);
  // The head never ends: the answer comes when the request's time is up.
  const std::string answer =
      served.Raw("GET / HTTP/1.1\r\nHost: " + served.HostPort() + "\r\nX-Slow: 1\r\n", true);
  EXPECT_EQ(StatusOf(answer), 408) << answer;
  EXPECT_EQ(Json::parse(BodyOf(answer)), Json({{"error", "the request did not arrive in time"}}));
}

TEST(ServerLimits, ABodyOverItsLimitIsRefused) {
  ServedStation served(LoopbackSettings(true));
  ASSERT_EQ(served.start_error, std::nullopt);
  const std::string answer = served.Raw(
      "POST /api/v1/label HTTP/1.1\r\nHost: " + served.HostPort() + "\r\nAuthorization: Bearer " +
      kTestToken + "\r\nContent-Type: application/json\r\nContent-Length: 5000\r\n\r\n" +
      std::string(5000, ' '));
  EXPECT_EQ(StatusOf(answer), 413) << answer;
  EXPECT_EQ(Json::parse(BodyOf(answer)), Json({{"error", "the body is larger than 4096 bytes"}}));
  EXPECT_TRUE(served.station.calls().labels.empty());
}

TEST(ServerLimits, AnIdleConnectionIsClosed) {
  ServerLimits limits = TestLimits();
  limits.connection.request_time = std::chrono::milliseconds(200);
  ServedStation served(LoopbackSettings(), limits);
  ASSERT_EQ(served.start_error, std::nullopt);
  const auto began = std::chrono::steady_clock::now();
  // Nothing sent: closed without an answer well before the raw client's own 5 s.
  EXPECT_EQ(served.Raw("", true), "");
  EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(4));
}

// A connection to the test server that sends nothing, holding one of its threads while it is open.
class SilentClient {
 public:
  explicit SilentClient(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~SilentClient() { close(fd_); }
  bool connected() const { return connected_; }

 private:
  int fd_;
  bool connected_ = false;
};

TEST(ServerLimits, ConnectionsBeyondThePoolAreTurnedAwayAtOnce) {
  ServerLimits limits = TestLimits();
  limits.event_streams = 1;
  limits.other_requests = 1;
  limits.connection.queued = 1;
  ServedStation served(LoopbackSettings(), limits);
  ASSERT_EQ(served.start_error, std::nullopt);
  const std::string request = "GET /api/v1/station HTTP/1.1\r\nHost: " + served.HostPort() +
                              "\r\nConnection: close\r\n\r\n";
  {
    // Two threads and a place in the queue held by clients that send nothing.
    std::vector<std::unique_ptr<SilentClient>> silent;
    for (int i = 0; i < 3; ++i) {
      silent.push_back(std::make_unique<SilentClient>(served.server.port()));
      ASSERT_TRUE(silent.back()->connected());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto began = std::chrono::steady_clock::now();
    const std::string answer = served.Raw(request);
    EXPECT_EQ(StatusOf(answer), 503) << answer;
    EXPECT_NE(answer.find("\r\nRetry-After: 1\r\n"), std::string::npos) << answer;
    EXPECT_EQ(Json::parse(BodyOf(answer)),
              Json({{"error", "this station is busy; try again later"}}));
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2));
  }
  // Once they have gone and their threads are free, the station answers again.
  int status = 0;
  for (int i = 0; i < 200 && status != 200; ++i) {
    status = StatusOf(served.Raw(request));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(status, 200);
}

TEST_F(ServerTest, CurlReadsTheStationAndIsTurnedAwayUnderAnotherName) {
  const std::string url = "http://" + served_.HostPort() + "/api/v1/station";
  const std::string station = Curl({"--write-out", "\n%{http_code}", url});
  EXPECT_TRUE(station.ends_with("\n200")) << station;
  EXPECT_EQ(Json::parse(station.substr(0, station.rfind('\n')))["operator"], "ana");
  const std::string wrong =
      Curl({"--write-out", "\n%{http_code}", "-H", "Host: attacker.example", url});
  EXPECT_TRUE(wrong.ends_with("\n421")) << wrong;
  const std::string localhost =
      Curl({"--write-out", "\n%{http_code}", "-H",
            "Host: localhost:" + std::to_string(served_.server.port()), url});
  EXPECT_TRUE(localhost.ends_with("\n200")) << localhost;
}

TEST(ServerStart, SaysWhyItCannotListen) {
  ServedStation first;
  ASSERT_EQ(first.start_error, std::nullopt);
  HttpSettings settings = LoopbackSettings();
  settings.listen.port = first.server.port();
  ServedStation second(settings);
  EXPECT_EQ(second.start_error,
            "--http: cannot listen on 127.0.0.1:" + std::to_string(first.server.port()) +
                ": Address already in use");
}

TEST(ServerStart, StopsAndStartsAgain) {
  ServedStation served;
  ASSERT_EQ(served.start_error, std::nullopt);
  EXPECT_EQ(served.server.Url(), "http://127.0.0.1:" + std::to_string(served.server.port()) + "/");
  served.server.Stop();
  EXPECT_EQ(served.server.Start(), std::nullopt);
  httplib::Client client = served.Client();
  const auto result = client.Get("/api/v1/station");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
}

TEST(ServerStart, ListensOnIpv6Loopback) {
  HttpSettings settings = LoopbackSettings();
  settings.listen.address = "::1";
  settings.listen.v6 = true;
  ServedStation served(settings);
  if (served.start_error)
    GTEST_SKIP() << "no IPv6 loopback here: " << *served.start_error;
  EXPECT_EQ(served.server.Url(), "http://[::1]:" + std::to_string(served.server.port()) + "/");
  const std::string body =
      Curl({"-g", "http://[::1]:" + std::to_string(served.server.port()) + "/api/v1/station"});
  EXPECT_EQ(Json::parse(body)["host"], "line-pc-4") << body;
}

}  // namespace
}  // namespace qvx::test
