// The checks of the flash slots.
#include "cli/flash_report.h"

#include <cstdio>

#include "cli/flash_texts.h"
#include "download/kinds/slot.h"

namespace qvx::cli {

std::vector<SlotReport> InspectFlash(const flash::FlashImage& flash) {
  std::vector<SlotReport> reports;
  for (const SlotKindInfo& info : kSlotKinds) {
    for (int row = 0; row < info.count; ++row)
      reports.push_back(info.module.inspect(flash, Slot::FromRow(info.kind, row)));
  }
  return reports;
}

std::string FormatReport(const std::vector<SlotReport>& reports) {
  std::string text = flash_text::kReportHeading;
  for (const SlotReport& report : reports) {
    char line[40];
    std::snprintf(line, sizeof line, "%-11s %-8s ", report.slot.c_str(),
                  report.erased ? flash_text::kHoldsNothing : flash_text::kHoldsContent);
    text += line;
    if (!report.erased)
      text +=
          std::string(report.passed ? flash_text::kPassed : flash_text::kFailed) + report.detail;
    while (!text.empty() && text.back() == ' ')
      text.pop_back();
    text += '\n';
  }
  return text;
}

}  // namespace qvx::cli
