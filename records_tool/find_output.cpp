// Writing find's answers.
#include "records_tool/find_output.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "download/kinds/slot.h"
#include "records/texts.h"
#include "records_tool/records_texts.h"

namespace qvx::records_tool {
namespace {

using namespace records_db;
using Json = nlohmann::json;

std::string BaseName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string Short(const std::string& sha256) {
  return sha256.substr(0, 12);
}

// "banner 1 id.bmp 9f86d081884c", "pattern 7 erased", "countdown count.bmp ...", "audio".
std::string StepOf(const RecordRow& row) {
  const std::string kind = row[ColumnNamed("kind")].value_or("");
  std::string step = kind;
  const auto named = KindNamed(kind);
  if (!(named && InfoOf(*named).count == 1) && row[ColumnNamed("slot")])
    step += " " + *row[ColumnNamed("slot")];
  if (row[kOperationColumn] == "erase")
    return step + " " + text::kErased;
  if (const auto& path = row[ColumnNamed("file_path")])
    step += " " + BaseName(*path);
  if (const auto& sha = row[kFileSha256Column])
    step += " " + Short(*sha);
  return step;
}

void Part(std::string& line, const char* label, const std::optional<std::string>& value) {
  if (value)
    line += "  " + std::string(label) + *value;
}

Json Nullable(const std::optional<std::string>& value) {
  return value ? Json(*value) : Json(nullptr);
}

}  // namespace

std::string LoadLine(const Load& load) {
  const RecordRow& first = load.lines.front();
  std::string line = first[kTimeColumn].value_or(text::kNoTime);
  line += "  " + load.First(kSerialColumn).value_or(text::kNoSerial);
  std::string where = load.First(kHostColumn).value_or("");
  if (const auto port = load.First(ColumnNamed("port")))
    where += (where.empty() ? "" : " ") + *port;
  if (!where.empty())
    line += "  " + where;
  line += "  " + load.Outcome();
  Part(line, text::kOperator, load.First(kOperatorColumn));
  Part(line, text::kWorkOrder, load.First(kWorkOrderColumn));
  Part(line, text::kLabel, load.First(kLabelColumn));
  const auto set_path = load.First(ColumnNamed("set_path"));
  const auto set_sha = load.First(kSetSha256Column);
  if (set_path || set_sha) {
    line += "  " + std::string(text::kSet) + BaseName(set_path.value_or(""));
    if (set_sha)
      line += (set_path ? " " : "") + Short(*set_sha);
  }
  std::string received;
  for (const RecordRow& row : load.lines) {
    if (row[kOperationColumn] && row[kOutcomeColumn] == records::text::kCompleted)
      received += (received.empty() ? "" : ", ") + StepOf(row);
  }
  if (!received.empty())
    line += "  " + std::string(text::kReceived) + received;
  else if (load.lines.size() == 1 && first[kOperationColumn])
    line += "  " + std::string(text::kNotReceived) + StepOf(first);
  else
    line += "  " + std::string(text::kReceivedNothing);
  return line;
}

std::string LoadJson(const Load& load) {
  Json json;
  json["time"] = Nullable(load.lines.front()[kTimeColumn]);
  json["serial"] = Nullable(load.First(kSerialColumn));
  json["host"] = Nullable(load.First(kHostColumn));
  json["port"] = Nullable(load.First(ColumnNamed("port")));
  json["outcome"] = load.Outcome();
  json["operator"] = Nullable(load.First(kOperatorColumn));
  json["work_order"] = Nullable(load.First(kWorkOrderColumn));
  json["label"] = Nullable(load.First(kLabelColumn));
  json["set"] = {{"path", Nullable(load.First(ColumnNamed("set_path")))},
                 {"sha256", Nullable(load.First(kSetSha256Column))}};
  json["load"] = Nullable(load.First(kLoadColumn));
  Json records = Json::array();
  for (const RecordRow& row : load.lines)
    records.push_back(Json::parse(row.text));
  json["records"] = std::move(records);
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace qvx::records_tool
