#include "tests/support/record_lines.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <fstream>

namespace qvx::test {

using Json = nlohmann::ordered_json;

std::string IsoMilliseconds(int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  char with_ms[48];
  std::snprintf(with_ms, sizeof with_ms, "%s.%03dZ", text, static_cast<int>(ms % 1000));
  return with_ms;
}

std::vector<std::string> StationLoadLines(StationRun& run, const UnitLoad& unit, int n) {
  const std::string load = run.run + "-" + std::to_string(n);
  int64_t at = run.start_ms + unit.at_ms;
  auto line = [&](int64_t ms) {
    Json json;
    json["time"] = IsoMilliseconds(ms);
    json["host"] = run.host;
    json["version"] = "1.0.0";
    json["serial"] = unit.serial;
    json["description"] = "QVX5120I1";
    json["port"] = unit.port;
    json["load"] = load;
    return json;
  };
  auto station = [&](Json& json) {
    if (!unit.label.empty())
      json["label"] = unit.label;
    json["operator"] = run.operator_name;
    json["work_order"] = run.work_order;
    json["set"] = {{"path", run.set_path}, {"sha256", run.set_sha256}};
    json["run"] = run.run;
    json["seq"] = ++run.seq;
  };
  std::vector<std::string> lines;
  Json started = line(at);
  started["steps"] = unit.steps;
  station(started);
  started["outcome"] = "started";
  started["exit_status"] = 0;
  started["seconds"] = 0;
  lines.push_back(started.dump());
  const bool passed = unit.end == "passed";
  for (int step = 0; step < unit.steps; ++step) {
    at += 1500;
    Json attempt = line(at);
    attempt["attempt"] = 1;
    station(attempt);
    attempt["operation"] = "load";
    attempt["kind"] = "pattern";
    attempt["slot"] = step;
    attempt["file"] = {{"path", "/jobs/ramp-" + std::to_string(step) + ".tst"},
                       {"size", 2880},
                       {"sha256", std::string(63, 'b') + std::to_string(step % 10)}};
    const bool last = step == unit.steps - 1;
    attempt["outcome"] = passed || !last ? "completed" : unit.end;
    if (!passed && last)
      attempt["reason"] = "the generator stopped answering";
    attempt["exit_status"] = passed || !last ? 0 : 4;
    attempt["seconds"] = 1.25;
    lines.push_back(attempt.dump());
  }
  Json end = line(at + 250);
  end["steps"] = unit.steps;
  station(end);
  end["outcome"] = unit.end;
  if (!passed)
    end["reason"] = "the generator stopped answering";
  end["exit_status"] = passed ? 0 : 4;
  end["seconds"] = (at + 250 - run.start_ms - unit.at_ms) / 1000.0;
  lines.push_back(end.dump());
  return lines;
}

std::string PlainStepLine(const std::string& host, const std::string& serial,
                          const std::string& time, int slot, const std::string& outcome) {
  Json json;
  json["time"] = time;
  json["host"] = host;
  json["version"] = "1.0.0";
  json["serial"] = serial;
  json["description"] = "QVX5120I1";
  json["operation"] = "load";
  json["kind"] = "banner";
  json["slot"] = slot;
  json["file"] = {{"path", "/jobs/id.bmp"},
                  {"size", 155574},
                  {"sha256", "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"}};
  json["outcome"] = outcome;
  json["exit_status"] = outcome == "completed" ? 0 : 4;
  json["seconds"] = 21.418;
  return json.dump();
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  for (const std::string& line : lines)
    out << line << '\n';
}

}  // namespace qvx::test
