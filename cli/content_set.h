// Content sets: a whole load described in one TOML file that is checked once, kept with the job
// and replayed. The format is described in docs/content-sets.md. Reading a set checks all of it
// (keys, slots, tones, every file and every level) and turns it into the loader's steps, in a
// fixed order: pictures 1-2, banners 1-8, the countdown, patterns 0-15, the audio loop; each slot
// is either loaded from its file or, when listed under [erase], erased.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "cli/load_command.h"

namespace qvx::cli {

// A set that cannot be loaded, with every problem found, each naming its key.
class ContentSetError : public std::runtime_error {
 public:
  // `malformed`: the file is not a content set as documented (syntax, keys, slots, types, tones).
  // Otherwise the set is well formed but some content is refused (a file that cannot be read or
  // that its slot does not take, a level above 0 dBFS).
  ContentSetError(bool malformed, std::vector<std::string> problems)
      : std::runtime_error(problems.empty() ? std::string() : problems.front()),
        malformed_(malformed),
        problems_(std::move(problems)) {}

  bool malformed() const { return malformed_; }
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  bool malformed_;
  std::vector<std::string> problems_;
};

// Reads and checks the set at `path`; file names in it are relative to its folder. Throws
// ContentSetError.
std::vector<LoadStep> ReadContentSet(const std::string& path);

}  // namespace qvx::cli
