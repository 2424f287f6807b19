// Making the interface's JSON.
#include "station_http/json_views.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "station/texts.h"

namespace qvx::station_http {

namespace {

// Seconds and rates to the millisecond and the tenth: what a board shows, and stable in tests.
double Rounded(double value, double step) {
  return std::round(value / step) * step;
}

}  // namespace

const char* StateWord(RunState state) {
  switch (state) {
    case RunState::kRunning:
      return "running";
    case RunState::kStopping:
      return "stopping";
    case RunState::kStopped:
      return "stopped";
    case RunState::kRecordsHeldBack:
      return "records held back";
  }
  return "stopped";
}

const char* ActionWord(ControlAction action) {
  switch (action) {
    case ControlAction::kStop:
      return "stop";
    case ControlAction::kCutOff:
      return "cut off";
    case ControlAction::kStart:
      return "start";
    case ControlAction::kLabel:
      return "label";
  }
  return "stop";
}

std::string IsoTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto since = time.time_since_epoch();
  const auto whole = duration_cast<seconds>(since);
  const std::time_t seconds_since = whole.count();
  std::tm utc{};
  gmtime_r(&seconds_since, &utc);
  char text[96];  // room for any int the fields could hold, as the compiler counts it
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                static_cast<int>(duration_cast<milliseconds>(since - whole).count()));
  return text;
}

Json StatusJson(const StationStatus& status) {
  Json json = {
      {"set", {{"path", status.set_path}, {"sha256", status.set_sha256}}},
      {"operator", status.operator_name},
      {"work_order", status.work_order},
      {"state", StateWord(status.state)},
      {"totals",
       {{"passed", status.totals.passed},
        {"failed", status.totals.failed},
        {"pulled", status.totals.pulled},
        {"units_per_hour", Rounded(status.totals.units_per_hour, 0.1)}}},
      {"version", status.version},
      {"host", status.host},
      {"operations", status.operations},
      {"next_label", status.next_label},
  };
  if (status.state == RunState::kRecordsHeldBack)
    json["record_failure"] = status.record_failure;
  if (status.records_not_shipped)
    json["records_not_shipped"] = *status.records_not_shipped;
  return json;
}

Json SocketJson(const station::SocketView& socket,
                const std::vector<std::string>& operation_names) {
  using station::SocketState;
  const bool plugged = socket.state != SocketState::kEmpty;
  // The operation running or the one that stopped the load, counted from 1; n of n once passed.
  size_t number = 0;
  if (plugged && socket.operations > 0)
    number = std::min(socket.operation + 1, socket.operations);
  Json json = {
      {"number", socket.number},
      {"port", socket.port},
      {"serial", plugged ? socket.serial : ""},
      {"description", plugged ? socket.description : ""},
      {"label", plugged ? socket.label : ""},
      {"state", station::text::StateWord(socket.state)},
      {"operation", number},
      {"operations", plugged ? socket.operations : 0},
      {"operation_name", number > 0 && number <= operation_names.size()
                             ? operation_names[number - 1]
                             : std::string()},
      {"attempt", plugged ? socket.attempt : 0},
      {"progress", socket.state == SocketState::kLoading ? socket.progress : 0},
      {"seconds", plugged ? Rounded(socket.seconds, 0.001) : 0.0},
      {"reason", socket.state == SocketState::kFailed ? socket.reason : ""},
      {"end", nullptr},
      {"load", socket.load},
  };
  if (plugged && socket.state != SocketState::kLoading && socket.end)
    json["end"] = station::text::EndWord(*socket.end);
  return json;
}

Json SocketsJson(const std::vector<station::SocketView>& sockets,
                 const std::vector<std::string>& operation_names) {
  Json json = Json::array();
  for (const station::SocketView& socket : sockets)
    json.push_back(SocketJson(socket, operation_names));
  return json;
}

Json AttemptJson(const station::AttemptReport& report, size_t operations) {
  return {
      {"operation", report.operation + 1},
      {"operations", operations},
      {"attempt", report.attempt},
      {"end", station::text::AttemptWord(report.end)},
      {"started", IsoTime(report.started)},
      {"seconds", Rounded(report.seconds, 0.001)},
      {"reason", report.reason},
  };
}

std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace qvx::station_http
