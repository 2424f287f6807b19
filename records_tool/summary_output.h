// summary's answer: per station and hour, how many of the work order's loads passed, failed,
// were pulled and were cut off, with the totals; as a table for people or JSON for scripts.
#pragma once

#include <string>
#include <vector>

#include "records_db/loads.h"

namespace qvx::records_tool {

std::string SummaryTable(const std::string& work_order,
                         const std::vector<records_db::SummaryRow>& rows);
std::string SummaryJson(const std::string& work_order,
                        const std::vector<records_db::SummaryRow>& rows);

}  // namespace qvx::records_tool
