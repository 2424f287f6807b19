// --fit on the loader's command line: the fit named, given to the steps it applies to.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/load_command.h"
#include "content/load_prep.h"
#include "prep/geometry.h"

namespace qvx::cli {

// The fit named by --fit or a set's `fit`; throws UsageError for another name.
prep::Fit FitOption(const std::string& mode);

// Gives the command line's --fit to its picture, banner and countdown steps.
void ApplyFit(std::vector<LoadStep>& steps, std::optional<prep::Fit> fit);

}  // namespace qvx::cli
