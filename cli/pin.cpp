// Pinning a content set's files.
#include "cli/pin.h"

#include <toml++/toml.h>

#include <filesystem>
#include <sstream>

#include "cli/load_texts.h"
#include "content/content_set.h"
#include "download/kinds/slot.h"
#include "records/record.h"

namespace qvx::cli {
namespace {

namespace fs = std::filesystem;

// The file an entry names: "file.bmp" or { file = "file.bmp", ... }.
const toml::node* FileNode(const toml::node& entry) {
  if (entry.is_string())
    return &entry;
  if (const toml::table* table = entry.as_table())
    return table->get("file");
  return nullptr;
}

// Pins every entry of the set's files tables in place; returns the first file that cannot be
// read, or nothing. Anything else that is wrong is left for the set's own check.
std::optional<std::string> PinFiles(toml::table& root, const fs::path& folder) {
  for (const SlotKindInfo& info : kSlotKinds) {
    if (info.set_key.empty())
      continue;
    toml::table* files = root[info.set_key].as_table();
    if (files == nullptr)
      continue;
    for (auto&& [slot, entry] : *files) {
      const toml::node* file = FileNode(entry);
      if (file == nullptr || !file->is_string())
        continue;
      const std::string name = *file->value<std::string>();
      const fs::path path(name);
      const std::string resolved = path.is_absolute() ? name : (folder / path).string();
      const auto sha256 = Sha256OfFile(resolved);
      if (!sha256)
        return resolved + text::kCannotOpen;
      toml::table pinned;
      if (const toml::table* table = entry.as_table())
        pinned = *table;
      pinned.insert_or_assign("file", name);
      pinned.insert_or_assign("sha256", *sha256);
      pinned.is_inline(true);
      files->insert_or_assign(slot, std::move(pinned));
    }
  }
  return std::nullopt;
}

}  // namespace

int PrintPinned(const std::string& set_path, LoaderContext& context) {
  toml::table root;
  try {
    root = toml::parse_file(set_path);
  } catch (const toml::parse_error& error) {
    const auto& where = error.source().begin;
    context.err << text::kProgram << set_path << ": "
                << text::SetSyntaxError(static_cast<int>(where.line),
                                        static_cast<int>(where.column), error.description())
                << '\n';
    return kExitUsage;
  }
  const fs::path folder = fs::path(set_path).parent_path();
  if (const auto unreadable = PinFiles(root, folder)) {
    context.err << text::kProgram << *unreadable << '\n';
    return kExitRefused;
  }
  std::ostringstream pinned;
  pinned << root << '\n';
  // What is printed must load as it stands.
  try {
    ReadContentSetText(pinned.str(), folder.string());
  } catch (const ContentSetError& error) {
    for (const std::string& problem : error.problems())
      context.err << text::kProgram << set_path << ": " << problem << '\n';
    return error.malformed() ? kExitUsage : kExitRefused;
  }
  context.out << pinned.str();
  return kExitCompleted;
}

}  // namespace qvx::cli
