// --fit, and refusals in words.
#include "cli/load_prep.h"

#include "download/kinds/image_kind.h"
#include "prep/bmp_explain.h"
#include "prep/texts.h"

namespace qvx::cli {
prep::Fit FitOption(const std::string& mode) {
  const auto fit = prep::FitNamed(mode);
  if (!fit)
    throw UsageError(prep::text::NotAFit(mode));
  return *fit;
}

void ApplyFit(std::vector<LoadStep>& steps, std::optional<prep::Fit> fit) {
  for (LoadStep& step : steps) {
    if (ImageKindOf(step.kind()) != nullptr && !step.erase)
      step.fit = fit;
  }
}

std::string RefusalDetail(const LoadStep& step, const BmpHeader& header, uint64_t file_size) {
  const ImageKind& kind = *ImageKindOf(step.kind());
  const auto reasons = prep::BmpRefusalReasons(header, file_size, kind.shape);
  return ": " + prep::JoinReasons(reasons) + "; " + prep::text::PrepHint(kind.prep_word);
}

}  // namespace qvx::cli
