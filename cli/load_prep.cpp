// --fit, and refusals in words.
#include "cli/load_prep.h"

#include "prep/bmp_explain.h"
#include "prep/texts.h"

namespace qvx::cli {
namespace {

bool IsImage(SlotKind kind) {
  return kind == SlotKind::kPicture || kind == SlotKind::kBanner || kind == SlotKind::kCountdown;
}

}  // namespace

prep::Fit FitOption(const std::string& mode) {
  const auto fit = prep::FitNamed(mode);
  if (!fit)
    throw UsageError(prep::text::NotAFit(mode));
  return *fit;
}

void ApplyFit(std::vector<LoadStep>& steps, std::optional<prep::Fit> fit) {
  for (LoadStep& step : steps) {
    if (IsImage(step.kind()) && !step.erase)
      step.fit = fit;
  }
}

std::string RefusalDetail(const LoadStep& step, const BmpHeader& header, uint64_t file_size) {
  const bool picture = step.kind() == SlotKind::kPicture;
  const auto reasons =
      prep::BmpRefusalReasons(header, file_size, picture ? BmpKind::kPicture : BmpKind::kBanner);
  return ": " + prep::JoinReasons(reasons) + "; " +
         prep::text::PrepHint(picture ? "picture" : "banner", kFitAvailable);
}

}  // namespace qvx::cli
