// The loader's side of picture preparation: --fit and a content set's `fit` prepare a picture or
// banner that is not the generator's file in memory before the checks; a file the generator
// refuses is explained in words, with the way to the file it takes. The window is untouched: its
// file dialog offers BMP files and its boxes keep their one line.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "content/step.h"
#include "encode/bmp_check.h"
#include "prep/geometry.h"

namespace qvx::content {

// For each step with a fit whose file the slot does not already take: the file prepared in memory
// (its `prepared_file`), with a note on `out` of where the picture went. Returns why a file could
// not be prepared (unreadable, not a picture), or nothing.
std::optional<std::string> PrepareInMemory(std::vector<LoadStep>& steps, std::ostream& out);

// What follows the window's refusal ("Incorrect Picture file format") on the command line: each
// failed requirement in words and the way to the file the generator takes.
std::string RefusalDetail(const LoadStep& step, const BmpHeader& header, uint64_t file_size);

}  // namespace qvx::content
