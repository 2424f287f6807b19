// What a step's file is: its absolute path, size and SHA-256, read once before any unit starts,
// so that records and pins name the exact bytes loaded.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "content/step.h"

namespace qvx::content {

struct FileFacts {
  std::string path;  // absolute
  uint64_t size = 0;
  std::string sha256;  // lower-case hex; empty when the file could not be read
};

// The facts of every step's file, keyed by the path as the step names it.
std::map<std::string, FileFacts> FactsOfFiles(const std::vector<LoadStep>& steps);

// The SHA-256 of the file's bytes in lower-case hex; nothing when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::string& path);

}  // namespace qvx::content
