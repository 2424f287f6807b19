// Control over HTTP, case by case: with and without a configured token, with the right, a wrong or
// no token, on a listener that may take control and one that may not; what the station is asked
// to do in each case, and what is recorded.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/station_http/served_station.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;
using station_http::ControlAction;

enum class Listener { kNoToken, kToken, kTokenOnEveryAddress };

struct Effect {
  int stops = 0;
  int cuts = 0;
  int starts = 0;
  std::vector<std::string> labels;
  std::vector<ControlAction> recorded;
};

struct ControlCase {
  const char* name;
  Listener listener;
  std::string target;  // path and query
  std::string authorization;
  std::string content_type;
  std::string body;
  int status;
  Json answer;
  Effect effect;
  const char* start_refusal = nullptr;
};

const std::string kRight = std::string(kTestBearer);

Json Error(const std::string& reason) {
  return {{"error", reason}};
}

// This keeps the bytes of the case out of the test list.
void PrintTo(const ControlCase& c, std::ostream* out) {
  *out << c.name;
}

class ControlTest : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ControlTest, DoesWhatTheTokenAllows) {
  const ControlCase& c = GetParam();
  HttpSettings settings = LoopbackSettings(c.listener != Listener::kNoToken);
  if (c.listener == Listener::kTokenOnEveryAddress)
    settings.listen.address = "0.0.0.0";
  ServedStation served(settings);
  ASSERT_EQ(served.start_error, std::nullopt);
  if (c.start_refusal != nullptr)
    served.station.RefuseStart(c.start_refusal);
  httplib::Client client = served.Client();
  httplib::Headers headers;
  if (!c.authorization.empty())
    headers.emplace("Authorization", c.authorization);
  const auto result = client.Post(c.target, headers, c.body, c.content_type);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, c.status) << result->body;
  EXPECT_EQ(Json::parse(result->body), c.answer);
  if (c.status == 401) {
    EXPECT_EQ(result->get_header_value("WWW-Authenticate"), "Bearer");
  }
  // No control answer is readable by another site's page.
  EXPECT_FALSE(result->has_header("Access-Control-Allow-Origin"));

  const FakeStation::Calls calls = served.station.calls();
  EXPECT_EQ(calls.stops, c.effect.stops);
  EXPECT_EQ(calls.cuts, c.effect.cuts);
  EXPECT_EQ(calls.starts, c.effect.starts);
  EXPECT_EQ(calls.labels, c.effect.labels);
  std::vector<ControlAction> recorded;
  for (const station_http::ControlRequest& request : calls.recorded) {
    recorded.push_back(request.action);
    EXPECT_EQ(request.from, "127.0.0.1");
    EXPECT_EQ(request.label, request.action == ControlAction::kLabel ? c.effect.labels.at(0) : "");
    EXPECT_LT(std::chrono::system_clock::now() - request.when, std::chrono::minutes(1));
  }
  EXPECT_EQ(recorded, c.effect.recorded);
}

std::string Name(const ::testing::TestParamInfo<ControlCase>& info) {
  return info.param.name;
}

const Effect kNothing;

INSTANTIATE_TEST_SUITE_P(
    Requests, ControlTest,
    ::testing::Values(
        // No token configured: no control at all, whatever is sent.
        ControlCase{"NoTokenConfigured", Listener::kNoToken, "/api/v1/stop", "", "", "", 403,
                    Error("control is off: the station was started without --http-token"),
                    kNothing},
        ControlCase{
            "NoTokenConfiguredWhateverIsSent", Listener::kNoToken, "/api/v1/start", kRight, "", "",
            403, Error("control is off: the station was started without --http-token"), kNothing},
        // A plain listener on every address: read-only, even from loopback.
        ControlCase{"PlainOffLoopback", Listener::kTokenOnEveryAddress, "/api/v1/stop", kRight, "",
                    "", 403,
                    Error("control is off on this listener: it is not on loopback and serves no "
                          "HTTPS (--http-cert, --http-key)"),
                    kNothing},
        // The token.
        ControlCase{"MissingToken", Listener::kToken, "/api/v1/stop", "", "", "", 401,
                    Error("control needs the station's token: Authorization: Bearer TOKEN"),
                    kNothing},
        ControlCase{"OtherScheme", Listener::kToken, "/api/v1/stop",
                    "Basic czNjcmV0LXRva2VuLTAxMjM0NTY3ODk=", "", "", 401,
                    Error("control needs the station's token: Authorization: Bearer TOKEN"),
                    kNothing},
        ControlCase{"WrongToken", Listener::kToken, "/api/v1/stop", "Bearer s3cret-token-wrong", "",
                    "", 403, Error("the token is not this station's"), kNothing},
        ControlCase{"WrongTokenForALabel", Listener::kToken, "/api/v1/label",
                    "Bearer s3cret-token-wrong", "application/json", R"({"label":"A-1"})", 403,
                    Error("the token is not this station's"), kNothing},
        // Stop, as Stop; or cutting the running loads off.
        ControlCase{"Stop",
                    Listener::kToken,
                    "/api/v1/stop",
                    kRight,
                    "",
                    "",
                    200,
                    {{"state", "stopping"}},
                    Effect{1, 0, 0, {}, {ControlAction::kStop}}},
        ControlCase{"StopNotCut",
                    Listener::kToken,
                    "/api/v1/stop?cut=0",
                    kRight,
                    "",
                    "",
                    200,
                    {{"state", "stopping"}},
                    Effect{1, 0, 0, {}, {ControlAction::kStop}}},
        ControlCase{"CutOff",
                    Listener::kToken,
                    "/api/v1/stop?cut=1",
                    kRight,
                    "",
                    "",
                    200,
                    {{"state", "stopping"}},
                    Effect{0, 1, 0, {}, {ControlAction::kCutOff}}},
        ControlCase{"CutSomethingElse", Listener::kToken, "/api/v1/stop?cut=yes", kRight, "", "",
                    400, Error("\"cut\" is 1 or 0"), kNothing},
        ControlCase{"StopWithAnotherParameter", Listener::kToken, "/api/v1/stop?now=1", kRight, "",
                    "", 400, Error("unknown parameter \"now\""), kNothing},
        ControlCase{"StopWithABody", Listener::kToken, "/api/v1/stop", kRight, "text/plain", "now",
                    400, Error("this request takes no body"), kNothing},
        // Start.
        ControlCase{"Start",
                    Listener::kToken,
                    "/api/v1/start",
                    kRight,
                    "",
                    "",
                    200,
                    {{"state", "running"}},
                    Effect{0, 0, 1, {}, {ControlAction::kStart}}},
        ControlCase{"StartRefused", Listener::kToken, "/api/v1/start", kRight, "", "", 409,
                    Error("the station is still stopping"),
                    Effect{0, 0, 1, {}, {ControlAction::kStart}}, "the station is still stopping"},
        // The next unit's label.
        ControlCase{"Label",
                    Listener::kToken,
                    "/api/v1/label",
                    kRight,
                    "application/json",
                    R"({"label":"A-1001"})",
                    200,
                    {{"next_label", "A-1001"}},
                    Effect{0, 0, 0, {"A-1001"}, {ControlAction::kLabel}}},
        ControlCase{"LabelWithCharset",
                    Listener::kToken,
                    "/api/v1/label",
                    kRight,
                    "application/json; charset=utf-8",
                    R"({"label":"Étiquette 7"})",
                    200,
                    {{"next_label", "Étiquette 7"}},
                    Effect{0, 0, 0, {"Étiquette 7"}, {ControlAction::kLabel}}},
        ControlCase{"LabelAsText", Listener::kToken, "/api/v1/label", kRight, "text/plain",
                    "A-1001", 415, Error("the body must be JSON (Content-Type: application/json)"),
                    kNothing},
        ControlCase{"LabelNotAnObject", Listener::kToken, "/api/v1/label", kRight,
                    "application/json", R"(["A-1001"])", 400,
                    Error("the body must be a JSON object with a \"label\""), kNothing},
        ControlCase{"LabelMissing", Listener::kToken, "/api/v1/label", kRight, "application/json",
                    R"({"name":"A-1001"})", 400,
                    Error("the body must be a JSON object with a \"label\""), kNothing},
        ControlCase{"LabelANumber", Listener::kToken, "/api/v1/label", kRight, "application/json",
                    R"({"label":1001})", 400, Error("\"label\" must be text"), kNothing},
        ControlCase{"LabelEmpty", Listener::kToken, "/api/v1/label", kRight, "application/json",
                    R"({"label":""})", 400, Error("\"label\" is empty"), kNothing},
        ControlCase{"LabelTooLong", Listener::kToken, "/api/v1/label", kRight, "application/json",
                    "{\"label\":\"" + std::string(257, 'x') + "\"}", 400,
                    Error("\"label\" is longer than 256 bytes"), kNothing},
        ControlCase{"LabelWithALineBreak", Listener::kToken, "/api/v1/label", kRight,
                    "application/json", R"({"label":"A-1\nB-2"})", 400,
                    Error("\"label\" holds control characters (tabs, line breaks)"), kNothing},
        ControlCase{"LabelNotJson", Listener::kToken, "/api/v1/label", kRight, "application/json",
                    R"({"label":)", 400,
                    Error("the body is not valid JSON: [json.exception.parse_error.101] parse "
                          "error at line 1, column 10: syntax error while parsing value - "
                          "unexpected end of input; expected '[', '{', or a literal"),
                    kNothing},
        ControlCase{"LabelNotUtf8", Listener::kToken, "/api/v1/label", kRight, "application/json",
                    "{\"label\":\"\xff\"}", 400,
                    Error("the body is not valid JSON: [json.exception.parse_error.101] parse "
                          "error at line 1, column 11: syntax error while parsing value - "
                          "invalid string: ill-formed UTF-8 byte; last read: '\"\xEF\xBF\xBD'"),
                    kNothing}),
    Name);

TEST(Control, TheStationSaysWhetherItTakesControl) {
  for (const bool token : {false, true}) {
    ServedStation served(LoopbackSettings(token));
    ASSERT_EQ(served.start_error, std::nullopt);
    const auto result = served.Client().Get("/api/v1/station");
    ASSERT_TRUE(result);
    EXPECT_EQ(Json::parse(result->body)["control"], token);
  }
}

TEST(Control, AWrongHostIsRefusedBeforeTheTokenIsLookedAt) {
  ServedStation served(LoopbackSettings(true));
  ASSERT_EQ(served.start_error, std::nullopt);
  const auto result = served.Client().Post(
      "/api/v1/stop", {{"Host", "attacker.example"}, {"Authorization", kRight}}, "", "");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 421);
  EXPECT_EQ(served.station.calls().stops, 0);
}

TEST(Control, CurlStopsTheStationWithTheTokenOnly) {
  ServedStation served(LoopbackSettings(true));
  ASSERT_EQ(served.start_error, std::nullopt);
  const std::string url = "http://" + served.HostPort() + "/api/v1/stop";
  const auto post = [&](std::vector<std::string> more) {
    std::vector<std::string> arguments = {"--request", "POST", "--write-out", " %{http_code}"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    arguments.push_back(url);
    return Curl(arguments);
  };
  EXPECT_TRUE(post({}).ends_with(" 401"));
  EXPECT_TRUE(post({"--oauth2-bearer", "not-the-token-at-all"}).ends_with(" 403"));
  EXPECT_EQ(served.station.calls().stops, 0);
  EXPECT_EQ(post({"--oauth2-bearer", kTestToken}), R"({"state":"stopping"} 200)");
  EXPECT_EQ(served.station.calls().stops, 1);
}

}  // namespace
}  // namespace qvx::test
