// Content sets: a whole load described in one TOML file that is checked once, kept with the job
// and replayed. The format is described in docs/content-sets.md. Reading a set checks all of it
// (keys, slots, tones, every file and every level) and turns it into the loader's steps, in a
// fixed order: pictures 1-2, banners 1-8, the countdown, patterns 0-15, the audio loop; each slot
// is either loaded from its file or, when listed under [erase], erased.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "content/step.h"

namespace qvx::content {

// Why a set cannot be loaded.
enum class SetProblem {
  // The file is not a content set as documented (syntax, keys, slots, types, tones).
  kMalformed,
  // The set is well formed but some content is refused (a file that cannot be read or that its
  // slot does not take, a level above 0 dBFS).
  kRefusedContent,
};

// A set that cannot be loaded, with every problem found, each naming its key.
class ContentSetError : public std::runtime_error {
 public:
  ContentSetError(SetProblem problem, std::vector<std::string> problems)
      : std::runtime_error(problems.empty() ? std::string() : problems.front()),
        problem_(problem),
        problems_(std::move(problems)) {}

  bool malformed() const { return problem_ == SetProblem::kMalformed; }
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  SetProblem problem_;
  std::vector<std::string> problems_;
};

struct ContentSet {
  std::vector<LoadStep> steps;
  // The `record` key: where the loader appends its records; empty when the set names none.
  std::string record_file;
  // The `retries` key: further attempts at an operation that failed through a device fault.
  std::optional<int> retries;
};

// Reads and checks the set at `path`; file names in it are relative to its folder. Throws
// ContentSetError.
ContentSet ReadContentSet(const std::string& path);
// The same for a set's text, its file names relative to `folder`.
ContentSet ReadContentSetText(std::string_view text, const std::string& folder);

// Why a pinned step's file is not the file the set pinned (its hash differs, or it cannot be
// read), or nothing when it is, or when the step pins nothing.
std::optional<std::string> PinBroken(const LoadStep& step);

// A key of the file as problems name it: as it stands when it is a bare key, else quoted as TOML
// quotes it, so that a key holding "." or "[" cannot be taken for a path.
std::string KeyText(std::string_view key);

}  // namespace qvx::content
