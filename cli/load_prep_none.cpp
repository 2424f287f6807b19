// The loader without Qt (the Windows build): no picture is read, so --fit and a set's `fit` are
// refused with the way to qvx5120-prep.
#include "cli/load_prep.h"
#include "prep/texts.h"

namespace qvx::cli {

const bool kFitAvailable = false;

std::optional<std::string> PrepareInMemory(std::vector<LoadStep>& steps, std::ostream&) {
  for (const LoadStep& step : steps) {
    if (step.fit && !step.erase)
      return std::string(prep::text::kFitUnavailable);
  }
  return std::nullopt;
}

}  // namespace qvx::cli
