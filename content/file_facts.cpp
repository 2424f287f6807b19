// Reading the facts of the steps' files.
#include "content/file_facts.h"

#include <filesystem>

namespace qvx::content {

std::map<std::string, FileFacts> FactsOfFiles(const std::vector<LoadStep>& steps) {
  std::map<std::string, FileFacts> facts;
  for (const LoadStep& step : steps) {
    if (step.file.empty() || facts.contains(step.file))
      continue;
    std::error_code error;
    FileFacts file;
    file.path = std::filesystem::absolute(step.file, error).string();
    if (error)
      file.path = step.file;
    file.size = std::filesystem::file_size(step.file, error);
    if (error)
      file.size = 0;
    file.sha256 = Sha256OfFile(step.file).value_or("");
    facts.emplace(step.file, std::move(file));
  }
  return facts;
}

}  // namespace qvx::content
