// export --csv: the lines of the loads find gives, one row each with the typed columns
// (records_db/columns.h) under a header row. RFC 4180: CR LF after each row, a cell with a
// comma, a quote or a line break in quotes with its quotes doubled. A text cell a spreadsheet
// would take as a formula (=, +, -, @, or a tab or CR first) starts with ' instead, so opening
// the file runs nothing.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "records_db/loads.h"

namespace qvx::records_tool {

void WriteCsv(std::ostream& out, const std::vector<records_db::Load>& loads);

// One cell as the file holds it.
std::string CsvCell(const std::string& value, bool text);

}  // namespace qvx::records_tool
