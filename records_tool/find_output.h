// find's answers: a load as one line for people (when, which unit, where, how it ended, by whom,
// from which set, and what it received), or as one JSON object for scripts.
#pragma once

#include <string>

#include "records_db/loads.h"

namespace qvx::records_tool {

// "2026-12-09T14:25:33.123Z  QVX00002  line-pc-4 1-1.2  passed  operator ana  work order
// WO-1182  set approved.toml 9f86d081884c  received banner 1 id.bmp 9f86d081884c"
std::string LoadLine(const records_db::Load& load);

// {"time":..., "serial":..., "host":..., "port":..., "outcome":..., "operator":...,
// "work_order":..., "label":..., "set":{"path":...,"sha256":...}, "load":..., "records":[...]}
std::string LoadJson(const records_db::Load& load);

}  // namespace qvx::records_tool
