// Taking the station's copies of its files.
#include "content/snapshot.h"

#include <random>

#include "content/texts.h"

namespace qvx::content {
namespace fs = std::filesystem;
namespace {

// A folder of its own under the system's temporary folder.
std::optional<fs::path> MakePrivateFolder() {
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  if (error)
    return std::nullopt;
  std::random_device random;
  for (int tries = 0; tries < 16; ++tries) {
    const fs::path folder = base / ("qvx5120-station-" + std::to_string(random()));
    if (fs::create_directory(folder, error)) {
      fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
      return folder;
    }
  }
  return std::nullopt;
}

}  // namespace

Snapshots::~Snapshots() {
  if (!folder_.empty()) {
    std::error_code error;
    fs::remove_all(folder_, error);
  }
}

std::optional<std::string> Snapshots::Take(std::vector<LoadStep>& steps) {
  for (LoadStep& step : steps) {
    if (step.file.empty() || step.erase)
      continue;
    if (const auto copy = copies_.find(step.file); copy != copies_.end()) {
      const std::string& copied = facts_.at(step.file).sha256;
      if (!step.pinned_sha256.empty() && copied != step.pinned_sha256)
        return text::PinMismatch(step.file, copied, step.pinned_sha256);
      step.snapshot = copy->second;
      continue;
    }
    if (folder_.empty()) {
      const auto folder = MakePrivateFolder();
      if (!folder)
        return text::kNoSnapshotFolder;
      folder_ = *folder;
    }
    const fs::path copy =
        folder_ / (std::to_string(copies_.size()) + "-" + fs::path(step.file).filename().string());
    std::error_code error;
    if (!fs::copy_file(step.file, copy, error))
      return step.file + text::kCannotOpen;
    FileFacts facts;
    facts.path = fs::absolute(step.file, error).string();
    if (error)
      facts.path = step.file;
    facts.size = fs::file_size(copy, error);
    facts.sha256 = Sha256OfFile(copy.string()).value_or("");
    if (!step.pinned_sha256.empty() && facts.sha256 != step.pinned_sha256)
      return text::PinMismatch(step.file, facts.sha256, step.pinned_sha256);
    step.snapshot = copy.string();
    copies_.emplace(step.file, step.snapshot);
    facts_.emplace(step.file, std::move(facts));
  }
  return std::nullopt;
}

}  // namespace qvx::content
