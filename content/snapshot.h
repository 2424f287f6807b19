// The station's files, read once: each step's file copied, at the start, into a private folder
// that the loads read from, so a file changed on a shared drive while the station runs changes
// nothing; the copy's hash is what the records carry and what a pin is held to.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "content/file_facts.h"
#include "content/step.h"

namespace qvx::content {

class Snapshots {
 public:
  Snapshots() = default;
  Snapshots(const Snapshots&) = delete;
  Snapshots& operator=(const Snapshots&) = delete;
  // Removes the folder and its copies.
  ~Snapshots();

  // Copies every step's file and points the step at its copy. Returns why a file could not be
  // copied or is not the file its set pinned, or nothing.
  std::optional<std::string> Take(std::vector<LoadStep>& steps);
  // The facts of each step's file as copied, keyed by the path as the step names it.
  const std::map<std::string, FileFacts>& facts() const { return facts_; }

 private:
  std::filesystem::path folder_;
  std::map<std::string, FileFacts> facts_;
  std::map<std::string, std::string> copies_;  // by the path as the step names it
};

}  // namespace qvx::content
