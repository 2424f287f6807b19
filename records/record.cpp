// Writing and reading production records.
#include "records/record.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "content/exit_status.h"
#include "records/texts.h"

namespace qvx::records {

using namespace content;

namespace {

using Json = nlohmann::ordered_json;

std::string Iso8601(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count() % 1000;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, ".%03dZ",
                static_cast<int>(milliseconds < 0 ? milliseconds + 1000 : milliseconds));
  return std::string(text) + fraction;
}

// Text that may hold any bytes (paths are not always UTF-8) written as valid JSON.
std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A field of a record read back, or the fallback when it is missing or of another type: a record
// file is shared between machines, so any line may hold anything.
std::string TextField(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

int NumberField(const Json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_number_integer())
    return -1;
  const auto number = found->get<int64_t>();
  return number >= 0 && number <= 1000 ? static_cast<int>(number) : -1;
}

// Whether a record's slot number is one of the kind's, as records write them.
bool IsSlotOf(SlotKind kind, int number) {
  for (int row = 0; row < InfoOf(kind).count; ++row) {
    if (Slot::FromRow(kind, row).number() == number)
      return true;
  }
  return false;
}

}  // namespace

std::string RecordLine(const StepRecord& record, const RecordKey& key) {
  Json line;
  line["time"] = Iso8601(record.started);
  line["host"] = HostName();
  line["version"] = QVX_VERSION;
  line["run"] = key.run;
  line["seq"] = key.seq;
  line["serial"] = record.serial;
  line["description"] = record.description;
  if (const auto& place = record.station) {
    line["port"] = place->port;
    line["load"] = place->load;
    if (record.step == nullptr)
      line["steps"] = place->steps;
    else if (place->attempt > 0)
      line["attempt"] = place->attempt;
    if (!place->label.empty())
      line["label"] = place->label;
    if (const StationFacts* facts = place->facts) {
      line["operator"] = facts->operator_name;
      line["work_order"] = facts->work_order;
      line["set"] = {{"path", facts->set_path}, {"sha256", facts->set_sha256}};
    }
  }
  // How it ended, last on every line.
  auto ending = [&] {
    line["outcome"] = record.outcome;
    if (!record.reason.empty())
      line["reason"] = record.reason;
    line["exit_status"] = record.exit_status;
    line["seconds"] = std::round(record.seconds * 1000) / 1000;
    return Dump(line);
  };
  if (record.step == nullptr)
    return ending();
  const LoadStep& step = *record.step;
  const Slot& slot = step.request.slot;
  line["operation"] = step.erase ? "erase" : "load";
  line["kind"] = slot.info().word;
  line["slot"] = slot.number();
  if (record.file) {
    line["file"] = {
        {"path", record.file->path}, {"size", record.file->size}, {"sha256", record.file->sha256}};
  }
  if (slot.info().source == SlotSource::kTones && !step.erase) {
    Json tones = Json::array();
    for (int row : step.request.audio.tone_rows)
      tones.push_back(ToneLabel(row));
    line["audio"] = {{"tones", tones}, {"levels", step.request.audio.amplitudes}};
  }
  return ending();
}

const char* ResultOf(int status) {
  switch (status) {
    case kExitCompleted:
      return text::kCompleted;
    case kExitRefused:
      return text::kRefused;
    default:
      return text::kFailed;
  }
}

std::map<std::string, std::vector<std::string>> LastRecorded(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return LastRecordedIn(in);
}

std::map<std::string, std::vector<std::string>> LastRecordedIn(std::istream& in) {
  // serial -> "kind slot" -> the line shown for it, last record winning.
  std::map<std::string, std::map<std::pair<std::string, int>, std::string>> last;
  std::string text;
  while (std::getline(in, text)) {
    const Json line = Json::parse(text, nullptr, false);
    if (!line.is_object() || TextField(line, "outcome") != text::kCompleted)
      continue;
    const std::string kind = TextField(line, "kind");
    const int number = NumberField(line, "slot");
    // Only a slot of the generator's is shown: the file is shared, and any line may hold anything.
    const auto named = KindNamed(kind);
    if (!named || !IsSlotOf(*named, number))
      continue;
    // A kind of one slot is shown by its word alone.
    std::string shown =
        kind + (named && InfoOf(*named).count == 1 ? "" : " " + std::to_string(number));
    if (TextField(line, "operation") == "erase") {
      shown += "  (erased)";
    } else if (line.contains("file") && line["file"].is_object()) {
      const std::string sha = TextField(line["file"], "sha256");
      shown += "  " + TextField(line["file"], "path") + "  sha256 " + sha.substr(0, 12);
    } else if (line.contains("audio")) {
      shown += "  " + Dump(line["audio"]);
    }
    shown += "  " + TextField(line, "time");
    last[TextField(line, "serial")][{kind, number}] = shown;
  }
  std::map<std::string, std::vector<std::string>> shown;
  for (const auto& [serial, slots] : last) {
    for (const auto& [slot, line] : slots)
      shown[serial].push_back(line);
  }
  return shown;
}

}  // namespace qvx::records
