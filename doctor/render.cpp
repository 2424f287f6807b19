#include "doctor/render.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "doctor/texts.h"

namespace qvx::doctor {
namespace {

using Json = nlohmann::ordered_json;

// Check names are padded to the longest, "kernel-driver".
constexpr int kNameWidth = 15;
constexpr int kVerdictWidth = 6;

std::string Padded(std::string text, int width) {
  if (static_cast<int>(text.size()) < width)
    text.append(static_cast<size_t>(width) - text.size(), ' ');
  return text;
}

std::string Line(const Check& check, const std::string& indent) {
  std::string line = indent + Padded(check.check, kNameWidth) +
                     Padded(check.ok ? text::kPassed : text::kFailed, kVerdictWidth) + check.text +
                     "\n";
  if (!check.ok && !check.fix.empty()) {
    line += indent + std::string(kNameWidth, ' ') + Padded(text::kFixWord, kVerdictWidth) +
            check.fix + "\n";
  }
  return line;
}

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

Json CheckJson(const Check& check) {
  return {{"check", check.check}, {"ok", check.ok}, {"text", check.text}, {"fix", check.fix}};
}

}  // namespace

std::string RenderText(const Report& report) {
  std::string out = Line(report.library, "") + Line(report.search, "");
  for (const DeviceReport& device : report.devices) {
    out += (device.serial.empty() ? std::string("(no serial)") : device.serial) +
           (device.port.empty() ? "" : " at " + device.port) + ": \"" + device.product + "\", " +
           Hex4(device.vendor) + ":" + Hex4(device.product_id) +
           (device.generator ? ", a generator\n" : ", not a generator\n");
    for (const Check& check : device.checks)
      out += Line(check, "  ");
  }
  return out + (report.ok() ? text::kVerdictOk : text::kVerdictProblem) + "\n";
}

std::string RenderJson(const Report& report, const Facts& facts) {
  Json library = CheckJson(report.library);
  library["path"] = facts.library.search.loaded;
  library["kind"] = text::LibraryKindWord(facts.library.kind);
  library["version"] = facts.library.version ? text::VersionText(*facts.library.version) : "";
  Json tried = Json::array();
  for (const LoadAttempt& attempt : facts.library.search.tried)
    tried.push_back({{"file", attempt.file}, {"error", attempt.error}});
  library["tried"] = std::move(tried);

  Json devices = Json::array();
  for (const DeviceReport& device : report.devices) {
    Json checks = Json::array();
    for (const Check& check : device.checks)
      checks.push_back(CheckJson(check));
    devices.push_back({{"port", device.port},
                       {"serial", device.serial},
                       {"product", device.product},
                       {"vid", Hex4(device.vendor)},
                       {"pid", Hex4(device.product_id)},
                       {"generator", device.generator},
                       {"checks", std::move(checks)}});
  }
  const Json out = {{"verdict", report.ok() ? "ok" : "problem"},
                    {"library", std::move(library)},
                    {"search", CheckJson(report.search)},
                    {"devices", std::move(devices)}};
  // Paths and strings from devices need not be UTF-8: replaced rather than refused.
  return out.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace qvx::doctor
