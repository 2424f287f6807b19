// --fit.
#include "cli/load_prep.h"

#include "download/kinds/image_kind.h"
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

}  // namespace qvx::cli
