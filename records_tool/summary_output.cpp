// Writing summary's answer.
#include "records_tool/summary_output.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "records_db/record_time.h"
#include "records_tool/records_texts.h"

namespace qvx::records_tool {
namespace {

using namespace records_db;

constexpr int64_t kHour = 3600LL * 1000000;

std::array<size_t, kLoadEnds.size()> Totals(const std::vector<SummaryRow>& rows) {
  std::array<size_t, kLoadEnds.size()> totals{};
  for (const SummaryRow& row : rows) {
    for (size_t i = 0; i < totals.size(); ++i)
      totals[i] += row.counts[i];
  }
  return totals;
}

std::string Padded(const std::string& text, size_t width, bool right) {
  const std::string pad(width > text.size() ? width - text.size() : 0, ' ');
  return right ? pad + text : text + pad;
}

}  // namespace

std::string SummaryTable(const std::string& work_order, const std::vector<SummaryRow>& rows) {
  size_t station_width = std::string(text::kStation).size();
  for (const SummaryRow& row : rows)
    station_width = std::max(station_width, row.host.size());
  const size_t hour_width = std::max(std::string(text::kHour).size(), HourOf(0).size());
  auto line = [&](const std::string& station, const std::string& hour,
                  const std::array<std::string, kLoadEnds.size()>& cells) {
    std::string text =
        Padded(station, station_width, false) + "  " + Padded(hour, hour_width, false);
    for (size_t i = 0; i < cells.size(); ++i)
      text += "  " + Padded(cells[i], std::string(kLoadEnds[i]).size(), true);
    while (!text.empty() && text.back() == ' ')
      text.pop_back();
    return text + "\n";
  };
  auto numbers = [](const std::array<size_t, kLoadEnds.size()>& counts) {
    std::array<std::string, kLoadEnds.size()> cells;
    for (size_t i = 0; i < counts.size(); ++i)
      cells[i] = std::to_string(counts[i]);
    return cells;
  };
  std::array<std::string, kLoadEnds.size()> heading;
  std::copy(kLoadEnds.begin(), kLoadEnds.end(), heading.begin());
  std::string table = text::WorkOrderHeading(work_order) + "\n";
  table += line(text::kStation, text::kHour, heading);
  for (const SummaryRow& row : rows)
    table += line(row.host, HourOf(row.hour * kHour), numbers(row.counts));
  table += line(text::kTotal, "", numbers(Totals(rows)));
  return table;
}

std::string SummaryJson(const std::string& work_order, const std::vector<SummaryRow>& rows) {
  using Json = nlohmann::ordered_json;
  auto counts = [](const std::array<size_t, kLoadEnds.size()>& values) {
    Json json;
    for (size_t i = 0; i < values.size(); ++i)
      json[kLoadEnds[i]] = values[i];
    return json;
  };
  Json json;
  json["work_order"] = work_order;
  json["rows"] = Json::array();
  for (const SummaryRow& row : rows) {
    Json entry = {{"station", row.host}, {"hour", HourOf(row.hour * kHour)}};
    entry.update(counts(row.counts));
    json["rows"].push_back(std::move(entry));
  }
  json["total"] = counts(Totals(rows));
  return json.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace qvx::records_tool
