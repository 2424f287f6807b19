// The feed: ids, the events kept, what a returning client is sent; and the station's events as
// the board's, field by field.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "station_http/event_feed.h"
#include "station_http/feed_events.h"

namespace qvx::station_http {
namespace {

// Compared field by field, whatever their order.
using Json = nlohmann::json;

std::vector<uint64_t> Sequences(const std::vector<FeedEvent>& events) {
  std::vector<uint64_t> sequences;
  for (const FeedEvent& event : events)
    sequences.push_back(event.sequence);
  return sequences;
}

TEST(EventFeed, NumbersEventsAndNamesThemByRun) {
  EventFeed feed("3f9a1c2e");
  EXPECT_EQ(feed.last(), 0u);
  EXPECT_EQ(feed.Publish("plugged", {{"socket", {{"port", "1-1.2"}}}}), 1u);
  EXPECT_EQ(feed.Publish("started", Json::object()), 2u);
  EXPECT_EQ(feed.last(), 2u);
  EXPECT_EQ(feed.IdOf(2), "3f9a1c2e-2");
  const std::vector<FeedEvent> events = feed.Since(0);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].type, "plugged");
  const Json data = Json::parse(events[0].data);
  EXPECT_EQ(data["type"], "plugged");
  EXPECT_EQ(data["socket"]["port"], "1-1.2");
  // "2026-12-07T21:30:04.125Z"
  EXPECT_EQ(data["time"].get<std::string>().size(), 24u);
  EXPECT_EQ(data["time"].get<std::string>().back(), 'Z');
}

TEST(EventFeed, RunIdsAreEightHexDigitsAndDiffer) {
  const std::string a = EventFeed::NewRunId();
  const std::string b = EventFeed::NewRunId();
  EXPECT_EQ(a.size(), 8u);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(a, b);
}

TEST(EventFeed, KeepsTheLastEventsOnly) {
  EventFeed feed("run", 3);
  for (int i = 0; i < 5; ++i)
    feed.Publish("plugged", Json::object());
  EXPECT_EQ(Sequences(feed.Since(0)), (std::vector<uint64_t>{3, 4, 5}));
  EXPECT_EQ(Sequences(feed.Since(4)), (std::vector<uint64_t>{5}));
  EXPECT_TRUE(feed.Since(5).empty());
}

TEST(EventFeed, KeepsTenThousandByDefault) {
  EventFeed feed("run");
  for (int i = 0; i < 10005; ++i)
    feed.Publish("plugged", Json::object());
  const std::vector<FeedEvent> kept = feed.Since(0);
  ASSERT_EQ(kept.size(), 10000u);
  EXPECT_EQ(kept.front().sequence, 6u);
  EXPECT_FALSE(feed.After("run-5").reset);
  EXPECT_TRUE(feed.After("run-4").reset);
}

struct ResumeCase {
  const char* last_event_id;
  bool reset;
  const char* reason;
  std::vector<uint64_t> events;
};

// This keeps the bytes of the case out of the test list.
void PrintTo(const ResumeCase& c, std::ostream* out) {
  *out << c.last_event_id;
}

class EventFeedResume : public ::testing::TestWithParam<ResumeCase> {};

TEST_P(EventFeedResume, SendsWhatWasMissedOrStartsAfresh) {
  // Events 1 to 6 published, 3 to 6 kept.
  EventFeed feed("3f9a1c2e", 4);
  for (int i = 0; i < 6; ++i)
    feed.Publish("plugged", Json::object());
  const Resume resume = feed.After(GetParam().last_event_id);
  EXPECT_EQ(resume.reset, GetParam().reset);
  EXPECT_STREQ(resume.reason, GetParam().reason);
  EXPECT_EQ(Sequences(resume.events), GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, EventFeedResume,
    ::testing::Values(
        ResumeCase{"3f9a1c2e-6", false, "", {}}, ResumeCase{"3f9a1c2e-4", false, "", {5, 6}},
        ResumeCase{"3f9a1c2e-2", false, "", {3, 4, 5, 6}},
        ResumeCase{"3f9a1c2e-1", true, "the events after the last one seen are no longer kept", {}},
        ResumeCase{"3f9a1c2e-0", true, "the events after the last one seen are no longer kept", {}},
        ResumeCase{"0badc0de-4", true, "the last event seen is of another run", {}},
        ResumeCase{"3f9a1c2e-7", true, "the last event id is not one of this station's", {}},
        ResumeCase{"3f9a1c2e-", true, "the last event id is not one of this station's", {}},
        ResumeCase{"3f9a1c2e-4x", true, "the last event id is not one of this station's", {}},
        ResumeCase{"3f9a1c2e--4", true, "the last event seen is of another run", {}},
        ResumeCase{"garbage", true, "the last event id is not one of this station's", {}}));

TEST(EventFeed, AFreshFeedResumesFromItsStart) {
  EventFeed feed("run");
  EXPECT_FALSE(feed.After("run-0").reset);
  feed.Publish("plugged", Json::object());
  EXPECT_EQ(Sequences(feed.After("run-0").events), (std::vector<uint64_t>{1}));
}

TEST(EventFeed, WaitEndsAtAnEvent) {
  EventFeed feed("run");
  std::atomic<bool> stop{false};
  std::thread publisher([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    feed.Publish("plugged", Json::object());
  });
  // Ends at the event, long before its minute.
  feed.WaitAfter(0, std::chrono::minutes(1), stop);
  EXPECT_EQ(feed.last(), 1u);
  publisher.join();
}

TEST(EventFeed, WaitEndsAtAStop) {
  EventFeed feed("run");
  std::atomic<bool> stop{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    feed.Wake();
  });
  feed.WaitAfter(0, std::chrono::minutes(1), stop);
  EXPECT_TRUE(stop);
  stopper.join();
}

// The station's events, through FeedEvents, as JSON.
class FeedEventsTest : public ::testing::Test {
 protected:
  Json Last() {
    const std::vector<FeedEvent> events = feed_.Since(feed_.last() - 1);
    Json json = Json::parse(events.back().data);
    json.erase("time");
    return json;
  }

  static station::SocketView Loading() {
    station::SocketView socket;
    socket.number = 2;
    socket.port = "1-1.3";
    socket.serial = "QVX00002";
    socket.description = "QVX5120I1";
    socket.label = "A-1001";
    socket.state = station::SocketState::kLoading;
    socket.operation = 1;
    socket.operations = 2;
    socket.attempt = 2;
    socket.progress = 40;
    socket.seconds = 12.3456;
    socket.load = 7;
    return socket;
  }

  EventFeed feed_{"run"};
  FeedEvents events_{feed_, {"banner 1 from id.bmp", "pattern 0 from ramp.tst"}};
};

TEST_F(FeedEventsTest, StartedCarriesTheSocketWhole) {
  events_.LoadStarting(Loading());
  EXPECT_EQ(Last(), Json::parse(R"({"type":"started","socket":{
      "number":2,"port":"1-1.3","serial":"QVX00002","description":"QVX5120I1","label":"A-1001",
      "state":"loading","operation":2,"operations":2,"operation_name":"pattern 0 from ramp.tst",
      "attempt":2,"progress":40,"seconds":12.346,"reason":"","end":null,"load":7}})"));
}

TEST_F(FeedEventsTest, OperationEndedCarriesTheAttempt) {
  station::AttemptReport report;
  report.operation = 1;
  report.attempt = 2;
  report.end = station::AttemptEnd::kFailed;
  report.started = std::chrono::system_clock::time_point(std::chrono::milliseconds(1796678400250));
  report.seconds = 3.25;
  report.reason = "the generator stopped answering";
  events_.AttemptEnded(Loading(), report);
  const Json json = Last();
  EXPECT_EQ(json["type"], "operation ended");
  EXPECT_EQ(json["attempt"], Json::parse(R"({"operation":2,"operations":2,"attempt":2,
      "end":"failed","started":"2026-12-07T21:20:00.250Z","seconds":3.25,
      "reason":"the generator stopped answering"})"));
  EXPECT_EQ(json["socket"]["port"], "1-1.3");
}

struct EndCase {
  station::LoadEnd end;
  const char* type;
  const char* end_word;
};

// This keeps the bytes of the case out of the test list.
void PrintTo(const EndCase& c, std::ostream* out) {
  *out << c.type;
}

class FeedEventsEnd : public FeedEventsTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(FeedEventsEnd, NamesTheEventByHowTheLoadEnded) {
  station::SocketView socket = Loading();
  socket.end = GetParam().end;
  const bool passed = GetParam().end == station::LoadEnd::kPassed;
  socket.state = passed ? station::SocketState::kPassed : station::SocketState::kFailed;
  socket.operation = passed ? 2 : 1;
  socket.reason = passed ? "" : "why";
  events_.LoadEnded(socket);
  const Json json = Last();
  EXPECT_EQ(json["type"], GetParam().type);
  EXPECT_EQ(json["socket"]["end"], GetParam().end_word);
  EXPECT_EQ(json["socket"]["state"], passed ? "pass" : "fail");
  EXPECT_EQ(json["socket"]["reason"], passed ? "" : "why");
  EXPECT_EQ(json["socket"]["operation"], 2);
  EXPECT_EQ(json["socket"]["progress"], 0);
}

INSTANTIATE_TEST_SUITE_P(Ends, FeedEventsEnd,
                         ::testing::Values(EndCase{station::LoadEnd::kPassed, "passed", "passed"},
                                           EndCase{station::LoadEnd::kFailed, "failed", "failed"},
                                           EndCase{station::LoadEnd::kPulled, "pulled", "pulled"},
                                           EndCase{station::LoadEnd::kCutOff, "cut off",
                                                   "cut off"}));

TEST_F(FeedEventsTest, AnEmptiedSocketNamesTheUnitThatLeftIt) {
  station::SocketView socket = Loading();
  socket.state = station::SocketState::kEmpty;
  events_.Emptied(socket);
  EXPECT_EQ(Last(), Json::parse(R"({"type":"emptied","serial":"QVX00002","socket":{
      "number":2,"port":"1-1.3","serial":"","description":"","label":"","state":"empty",
      "operation":0,"operations":0,"operation_name":"","attempt":0,"progress":0,"seconds":0.0,
      "reason":"","end":null,"load":7}})"));
}

TEST_F(FeedEventsTest, PluggedNamesTheUnitBeforeItsLoadBegins) {
  station::SocketView socket = Loading();
  socket.state = station::SocketState::kEmpty;
  events_.Plugged(socket);
  const Json json = Last();
  EXPECT_EQ(json["type"], "plugged");
  EXPECT_EQ(json["serial"], "QVX00002");
  EXPECT_EQ(json["description"], "QVX5120I1");
  EXPECT_EQ(json["socket"]["state"], "empty");
  EXPECT_EQ(json["socket"]["operation"], 0);
}

TEST_F(FeedEventsTest, RunEvents) {
  events_.Stopping(true);
  EXPECT_EQ(Last(), Json::parse(R"({"type":"stopping","state":"stopping","cut":true})"));
  events_.Stopped();
  EXPECT_EQ(Last(), Json::parse(R"({"type":"stopped","state":"stopped"})"));
  events_.StartedAgain();
  EXPECT_EQ(Last(), Json::parse(R"({"type":"started again","state":"running"})"));
  events_.RecordsHeldBack("the disk is full");
  EXPECT_EQ(Last(), Json::parse(
                        R"({"type":"records held back","state":"records held back",
                            "reason":"the disk is full"})"));
}

TEST_F(FeedEventsTest, ASerialThatIsNotUtf8IsReplacedNotThrownOn) {
  station::SocketView socket = Loading();
  socket.serial = "QVX\xff\xfe";
  events_.Plugged(socket);
  EXPECT_EQ(Last()["socket"]["serial"], "QVX\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace qvx::station_http
