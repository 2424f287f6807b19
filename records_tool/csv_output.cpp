// Writing records as CSV.
#include "records_tool/csv_output.h"

namespace qvx::records_tool {

using namespace records_db;

std::string CsvCell(const std::string& value, bool text) {
  std::string cell = value;
  if (text && !cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string::npos)
    cell.insert(cell.begin(), '\'');
  if (cell.find_first_of(",\"\r\n") == std::string::npos)
    return cell;
  std::string quoted = "\"";
  for (char c : cell) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

void WriteCsv(std::ostream& out, const std::vector<Load>& loads) {
  for (size_t i = 0; i < kColumns.size(); ++i)
    out << (i ? "," : "") << kColumns[i].name;
  out << "\r\n";
  for (const Load& load : loads) {
    for (const RecordRow& row : load.lines) {
      for (size_t i = 0; i < kColumns.size(); ++i) {
        // Numbers are written by the records layer, never a formula; times and runs neither.
        const bool text = kColumns[i].type == ColumnType::kText;
        out << (i ? "," : "") << (row[i] ? CsvCell(*row[i], text) : "");
      }
      out << "\r\n";
    }
  }
}

}  // namespace qvx::records_tool
