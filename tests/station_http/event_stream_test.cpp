// The event stream over real clients: the snapshot it begins with, the events in order with their
// ids, a reconnect with Last-Event-ID, a reset when what was missed is gone or of another run,
// heartbeats, its end, and fifty streams at once beside other requests.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <nlohmann/json.hpp>

#include "tests/station_http/served_station.h"
#include "tests/station_http/stream_reader.h"

namespace qvx::test {
namespace {

using Json = nlohmann::json;

std::vector<std::string> Types(const std::vector<Event>& events) {
  std::vector<std::string> types;
  for (const Event& event : events)
    types.push_back(event.type);
  return types;
}

std::vector<std::string> Ids(const std::vector<Event>& events) {
  std::vector<std::string> ids;
  for (const Event& event : events)
    ids.push_back(event.id);
  return ids;
}

// Heartbeats often, so that a reader told to leave notices soon.
ServerLimits QuickLimits() {
  ServerLimits limits = TestLimits();
  limits.heartbeat = std::chrono::milliseconds(100);
  return limits;
}

// One unit through a whole load that passes: five events.
void PassUnit(ServedStation& served, const std::string& port, const std::string& serial) {
  served.station.Plug(port, serial);
  served.station.EndAttempt(port, station::AttemptEnd::kCompleted);
  served.station.EndAttempt(port, station::AttemptEnd::kCompleted);
  served.station.EndLoad(port, station::LoadEnd::kPassed);
}

class EventStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(served_.start_error, std::nullopt); }

  void Pass(const std::string& port, const std::string& serial) { PassUnit(served_, port, serial); }

  ServedStation served_{LoopbackSettings(), QuickLimits()};
};

TEST_F(EventStreamTest, BeginsWithASnapshotThenTellsEachEvent) {
  served_.station.Plug("1-1.2", "QVX00002");
  StreamReader reader(served_);
  const std::vector<Event> opening = reader.Await(1);
  ASSERT_EQ(opening.size(), 1u);
  EXPECT_EQ(opening[0].type, "snapshot");
  EXPECT_EQ(opening[0].id, "3f9a1c2e-2");  // the plug and the start before it
  EXPECT_EQ(opening[0].data["station"]["operator"], "ana");
  EXPECT_EQ(opening[0].data["station"]["run"], "3f9a1c2e");
  ASSERT_EQ(opening[0].data["sockets"].size(), 1u);
  EXPECT_EQ(opening[0].data["sockets"][0]["state"], "loading");
  EXPECT_TRUE(reader.text().starts_with("retry: 2000\n\n")) << reader.text();

  served_.station.EndAttempt("1-1.2", station::AttemptEnd::kCompleted);
  served_.station.EndAttempt("1-1.2", station::AttemptEnd::kCompleted);
  served_.station.EndLoad("1-1.2", station::LoadEnd::kPassed);
  served_.station.Plug("1-1.3", "QVX00003");
  served_.station.EndLoad("1-1.3", station::LoadEnd::kPulled, "the unit was pulled");
  const std::vector<Event> events = reader.Await(8);
  EXPECT_EQ(Types(events),
            (std::vector<std::string>{"snapshot", "operation ended", "operation ended", "passed",
                                      "plugged", "started", "pulled", "emptied"}));
  EXPECT_EQ(Ids(events),
            (std::vector<std::string>{"3f9a1c2e-2", "3f9a1c2e-3", "3f9a1c2e-4", "3f9a1c2e-5",
                                      "3f9a1c2e-6", "3f9a1c2e-7", "3f9a1c2e-8", "3f9a1c2e-9"}));
  EXPECT_EQ(events[3].data["socket"]["state"], "pass");
  EXPECT_EQ(events[3].data["socket"]["serial"], "QVX00002");
  EXPECT_EQ(events[7].data["socket"]["state"], "empty");
  EXPECT_EQ(events[7].data["serial"], "QVX00003");
}

TEST_F(EventStreamTest, AReconnectGetsWhatItMissedAndNothingTwice) {
  std::string last_seen;
  {
    StreamReader reader(served_);
    ASSERT_EQ(Types(reader.Await(1)), std::vector<std::string>{"snapshot"});
    Pass("1-1.2", "QVX00002");
    const std::vector<Event> events = reader.Await(6);
    ASSERT_EQ(events.size(), 6u);
    last_seen = events.back().id;
    reader.Leave();
  }
  EXPECT_EQ(last_seen, "3f9a1c2e-5");
  // While it is away.
  Pass("1-1.3", "QVX00003");
  StreamReader again(served_, last_seen);
  const std::vector<Event> missed = again.Await(5);
  EXPECT_EQ(Types(missed), (std::vector<std::string>{"plugged", "started", "operation ended",
                                                     "operation ended", "passed"}));
  EXPECT_EQ(missed.front().id, "3f9a1c2e-6");
  EXPECT_EQ(missed.back().data["socket"]["port"], "1-1.3");
  // And then it goes on live.
  served_.station.Empty("1-1.3");
  const std::vector<Event> more = again.Await(6);
  ASSERT_EQ(more.size(), 6u);
  EXPECT_EQ(more.back().type, "emptied");
  EXPECT_EQ(more.back().id, "3f9a1c2e-11");
}

struct AfreshCase {
  const char* name;
  void (*before)(ServedStation&);
  const char* last_event_id;
  const char* id;  // the reset's: the last event its snapshot holds
  const char* reason;
};

// This keeps the bytes of the case out of the test list.
void PrintTo(const AfreshCase& c, std::ostream* out) {
  *out << c.name;
}

class EventStreamAfresh : public ::testing::TestWithParam<AfreshCase> {};

TEST_P(EventStreamAfresh, StartsWithAResetAndASnapshot) {
  ServedStation served(LoopbackSettings(), QuickLimits());
  ASSERT_EQ(served.start_error, std::nullopt);
  GetParam().before(served);
  StreamReader reader(served, GetParam().last_event_id);
  const std::vector<Event> events = reader.Await(1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, "reset");
  EXPECT_EQ(events[0].id, GetParam().id);
  EXPECT_EQ(events[0].data["reason"], GetParam().reason);
  EXPECT_EQ(events[0].data["station"]["totals"]["passed"], served.station.Status().totals.passed);
  EXPECT_EQ(events[0].data["sockets"].size(), served.station.Sockets().size());
}

void OneUnitPassed(ServedStation& served) {
  PassUnit(served, "1-1.2", "QVX00002");
}

void TenThousandAndOneEvents(ServedStation& served) {
  for (int i = 0; i < 10001; ++i)
    served.feed.Publish("plugged", Json::object());
}

INSTANTIATE_TEST_SUITE_P(
    Reconnects, EventStreamAfresh,
    ::testing::Values(AfreshCase{"OfAnotherRun", OneUnitPassed, "0badc0de-3", "3f9a1c2e-5",
                                 "the last event seen is of another run"},
                      AfreshCase{"FromTheFuture", OneUnitPassed, "3f9a1c2e-6", "3f9a1c2e-5",
                                 "the last event id is not one of this station's"},
                      AfreshCase{"AfterTooManyEvents", TenThousandAndOneEvents, "3f9a1c2e-0",
                                 "3f9a1c2e-10001",
                                 "the events after the last one seen are no longer kept"}),
    [](const ::testing::TestParamInfo<AfreshCase>& info) { return info.param.name; });

TEST(EventStream, TheOldestKeptEventStillResumes) {
  ServedStation served(LoopbackSettings(), QuickLimits());
  ASSERT_EQ(served.start_error, std::nullopt);
  TenThousandAndOneEvents(served);
  // Events 2 to 10,001 are kept: a client that saw the first misses none.
  StreamReader reader(served, "3f9a1c2e-1");
  const std::vector<Event> events = reader.Await(1);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().id, "3f9a1c2e-2");
  EXPECT_EQ(events.front().type, "plugged");
}

TEST_F(EventStreamTest, CurlResumesWithLastEventId) {
  Pass("1-1.2", "QVX00002");
  // Up to its time limit, then curl leaves; what came by then is the missed events.
  const std::string text =
      Curl({"--no-buffer", "--max-time", "1", "-H", "Last-Event-ID: 3f9a1c2e-3",
            "http://" + served_.HostPort() + "/api/v1/events"});
  EXPECT_NE(text.find("retry: 2000\n\nid: 3f9a1c2e-4\nevent: operation ended\ndata: {"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n\nid: 3f9a1c2e-5\nevent: passed\ndata: {"), std::string::npos) << text;
  EXPECT_EQ(text.find("event: snapshot"), std::string::npos) << text;
  EXPECT_EQ(text.find("id: 3f9a1c2e-3\n"), std::string::npos) << text;
}

TEST_F(EventStreamTest, AnIdleStreamHeartbeats) {
  StreamReader reader(served_);
  reader.Await(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
  EXPECT_NE(reader.text().find("\n\n:\n\n:\n\n"), std::string::npos) << reader.text();
}

TEST_F(EventStreamTest, StopEndsEveryStream) {
  StreamReader first(served_);
  StreamReader second(served_);
  first.Await(1);
  second.Await(1);
  EXPECT_EQ(served_.server.event_streams(), 2);
  served_.server.Stop();
  EXPECT_EQ(first.AwaitEnd(), 200);
  EXPECT_EQ(second.AwaitEnd(), 200);
  EXPECT_EQ(served_.server.event_streams(), 0);
}

TEST(EventStream, EndsAfterItsLifetimeForTheClientToResume) {
  ServerLimits limits = QuickLimits();
  limits.stream_lifetime = std::chrono::milliseconds(300);
  ServedStation served(LoopbackSettings(), limits);
  ASSERT_EQ(served.start_error, std::nullopt);
  StreamReader reader(served);
  EXPECT_EQ(reader.AwaitEnd(), 200);
  EXPECT_EQ(Types(reader.Await(1)), (std::vector<std::string>{"snapshot"}));
}

TEST(EventStream, StreamsBeyondTheLimitAreTurnedAway) {
  ServerLimits limits = QuickLimits();
  limits.event_streams = 2;
  ServedStation served(LoopbackSettings(), limits);
  ASSERT_EQ(served.start_error, std::nullopt);
  StreamReader first(served);
  StreamReader second(served);
  first.Await(1);
  second.Await(1);
  const auto third = served.Client().Get("/api/v1/events");
  ASSERT_TRUE(third);
  EXPECT_EQ(third->status, 503);
  EXPECT_EQ(third->get_header_value("Retry-After"), "5");
  EXPECT_EQ(Json::parse(third->body),
            Json({{"error",
                   "this station serves no more event streams at the moment; try again later"}}));
  // The other requests are still answered.
  const auto sockets = served.Client().Get("/api/v1/sockets");
  ASSERT_TRUE(sockets);
  EXPECT_EQ(sockets->status, 200);
}

TEST(EventStream, FiftyStreamsLeaveTheOtherRequestsAnswered) {
  ServerLimits limits;  // a station's own
  limits.heartbeat = std::chrono::milliseconds(200);
  ServedStation served(LoopbackSettings(), limits);
  ASSERT_EQ(served.start_error, std::nullopt);
  std::vector<std::unique_ptr<StreamReader>> readers;
  for (int i = 0; i < 50; ++i)
    readers.push_back(std::make_unique<StreamReader>(served));
  for (auto& reader : readers)
    ASSERT_EQ(reader->Await(1).size(), 1u);
  EXPECT_EQ(served.server.event_streams(), 50);
  // Ten pollers at once, each on a connection of its own.
  std::vector<std::thread> pollers;
  std::atomic<int> answered{0};
  for (int i = 0; i < 10; ++i) {
    pollers.emplace_back([&] {
      httplib::Client client = served.Client();
      for (int j = 0; j < 5; ++j) {
        const auto result = client.Get("/api/v1/sockets");
        if (result && result->status == 200)
          ++answered;
      }
    });
  }
  for (std::thread& poller : pollers)
    poller.join();
  EXPECT_EQ(answered.load(), 50);
  served.station.Plug("1-1.2", "QVX00002");
  for (auto& reader : readers)
    EXPECT_EQ(Types(reader->Await(3)),
              (std::vector<std::string>{"snapshot", "plugged", "started"}));
  // All at once, rather than one heartbeat after another.
  for (auto& reader : readers)
    reader->Leave();
}

}  // namespace
}  // namespace qvx::test
