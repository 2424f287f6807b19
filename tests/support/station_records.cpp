#include "tests/support/station_records.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <map>

namespace qvx::test {

std::vector<std::string> ComparableStationRecords(const std::string& path) {
  std::vector<std::string> order;  // load ids as they began
  std::map<std::string, std::vector<std::string>> loads;
  std::ifstream in(path);
  for (std::string text; std::getline(in, text);) {
    nlohmann::json line = nlohmann::json::parse(text, nullptr, false);
    std::string load = "(not a record)";
    if (line.is_object()) {
      // The run's key differs from run to run; the sequence within it with how loads interleave.
      for (const char* varying : {"time", "seconds", "host", "run", "seq"})
        line.erase(varying);
      // "1a2b3c4d-2": the run's random part, then the station's count of loads.
      load = line.value("load", "");
      load = load.substr(load.find('-') + 1);
      line["load"] = load;
      text = line.dump();
    }
    if (!loads.contains(load))
      order.push_back(load);
    loads[load].push_back(text);
  }
  std::vector<std::string> lines;
  for (const std::string& load : order)
    lines.insert(lines.end(), loads[load].begin(), loads[load].end());
  return lines;
}

}  // namespace qvx::test
