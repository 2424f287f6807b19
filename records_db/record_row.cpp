// Reading a record line into its row.
#include "records_db/record_row.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "records_db/digest.h"
#include "records_db/record_time.h"
#include "records_db/texts.h"

namespace qvx::records_db {
namespace {

using Json = nlohmann::json;

bool HoldsNul(const Json& json) {
  if (json.is_string())
    return json.get_ref<const std::string&>().find('\0') != std::string::npos;
  if (json.is_object()) {
    for (const auto& [key, value] : json.items()) {
      if (key.find('\0') != std::string::npos || HoldsNul(value))
        return true;
    }
  } else if (json.is_array()) {
    for (const auto& value : json) {
      if (HoldsNul(value))
        return true;
    }
  }
  return false;
}

bool IsRun(const std::string& text) {
  if (text.size() != 32)
    return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
      return false;
  }
  return true;
}

// The value of an integer field that fits between `least` and `most`.
std::optional<std::string> Integer(const Json& json, int64_t least, int64_t most) {
  if (json.is_number_unsigned()) {
    const auto value = json.get<uint64_t>();
    if (value > static_cast<uint64_t>(most))
      return std::nullopt;
    return std::to_string(value);
  }
  if (!json.is_number_integer())
    return std::nullopt;
  const auto value = json.get<int64_t>();
  if (value < least || value > most)
    return std::nullopt;
  return std::to_string(value);
}

std::optional<std::string> ValueOf(const Json& json, ColumnType type,
                                   std::optional<int64_t>& time) {
  switch (type) {
    case ColumnType::kTime:
      if (json.is_string()) {
        time = RecordTime(json.get_ref<const std::string&>());
        if (time)
          return json.get<std::string>();
      }
      return std::nullopt;
    case ColumnType::kText:
      // PostgreSQL's text holds no NUL, as jsonb does not.
      if (json.is_string() && json.get_ref<const std::string&>().find('\0') == std::string::npos)
        return json.get<std::string>();
      return std::nullopt;
    case ColumnType::kRun:
      if (json.is_string() && IsRun(json.get_ref<const std::string&>()))
        return json.get<std::string>();
      return std::nullopt;
    case ColumnType::kInteger:
      return Integer(json, std::numeric_limits<int32_t>::min(),
                     std::numeric_limits<int32_t>::max());
    case ColumnType::kBig:
      return Integer(json, std::numeric_limits<int64_t>::min(),
                     std::numeric_limits<int64_t>::max());
    case ColumnType::kNumber:
      if (json.is_number() && std::isfinite(json.get<double>()))
        return json.dump();
      return std::nullopt;
  }
  return std::nullopt;
}

// How deep arrays and objects nest, outside strings: a record nests 2 deep.
size_t Depth(std::string_view text) {
  size_t depth = 0, deepest = 0;
  bool in_string = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      deepest = std::max(deepest, ++depth);
    } else if ((c == '}' || c == ']') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

// Deeper than this is no record, and more than the parsers below and PostgreSQL's stack should
// be asked to hold.
constexpr size_t kDeepest = 64;

}  // namespace

std::variant<RecordRow, NotARecord> ReadRecordLine(std::string_view text) {
  if (Depth(text) > kDeepest)
    return NotARecord{text::kTooDeep};
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::parse_error& error) {
    return NotARecord{text::NotJson(error.byte)};
  } catch (const Json::exception&) {
    // A number beyond what a double holds (1e999999), which no jsonb holds either.
    return NotARecord{text::kNumberOutOfRange};
  }
  if (!json.is_object())
    return NotARecord{text::kNotAnObject};
  RecordRow row;
  row.text = text;
  for (size_t i = 0; i < kColumns.size(); ++i) {
    const Column& column = kColumns[i];
    const auto field = json.find(column.field);
    if (field == json.end())
      continue;
    if (column.member == nullptr) {
      row.values[i] = ValueOf(*field, column.type, row.time);
    } else if (field->is_object()) {
      const auto member = field->find(column.member);
      if (member != field->end())
        row.values[i] = ValueOf(*member, column.type, row.time);
    }
  }
  const auto& run = row[kRunColumn];
  const auto& seq = row[kSeqColumn];
  if (run && seq && seq->front() != '-' && *seq != "0")
    row.key = *run + "/" + *seq;
  else
    row.key = "sha256:" + Sha256Hex(text);
  const auto& load = row[kLoadColumn];
  if (load && !load->empty())
    row.load_key = row[kHostColumn].value_or("") + " " + *load;
  else
    row.load_key = row.key;
  if (HoldsNul(json))
    row.jsonb_problem = text::kHoldsNul;
  return row;
}

}  // namespace qvx::records_db
