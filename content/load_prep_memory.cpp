// Preparing pictures in memory: the prepared file lives where the download opens it by path like
// any other file, and disappears with the process. On Linux that is an anonymous memory file,
// opened by its /proc path; Windows has none that a second open reaches, so there it is a file in
// the temporary folder, removed when the loader ends.
#if defined(_WIN32)
#include <filesystem>
#include <fstream>
#include <random>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <memory>

#include "content/load_prep.h"
#include "download/bitmap_file.h"
#include "download/kinds/image_kind.h"
#include "prep/prepare.h"
#include "prep/source_picture.h"
#include "prep/texts.h"

namespace qvx::content {
namespace {

// Whether the slot takes the file as it is.
bool Takes(const LoadStep& step) {
  const auto file = ContentFile::Open(step.input());
  BmpHeader header{};
  try {
    return file && ImageKindOf(step.kind())->Accepts(ReadBitmapHeader(*file, header));
  } catch (const FileReadError&) {
    return false;
  }
}

// "picture 1", "banner 3", "countdown".
std::string SlotName(const Slot& slot) {
  std::string name(slot.info().word);
  return slot.info().count > 1 ? name + " " + std::to_string(slot.number()) : name;
}

#if defined(_WIN32)
// The prepared files of this run, removed when it ends.
class TemporaryFiles {
 public:
  ~TemporaryFiles() {
    std::error_code ignored;
    for (const auto& path : paths_)
      std::filesystem::remove(path, ignored);
  }
  std::optional<std::string> Add(const std::vector<uint8_t>& bytes) {
    std::error_code error;
    const auto folder = std::filesystem::temp_directory_path(error);
    if (error)
      return std::nullopt;
    static std::mt19937_64 names{std::random_device{}()};
    const auto path = folder / ("qvx5120-prepared-" + std::to_string(names()) + ".bmp");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    paths_.push_back(path);
    if (!out)
      return std::nullopt;
    return path.string();
  }

 private:
  std::vector<std::filesystem::path> paths_;
};

std::optional<std::string> MemoryFile(const std::vector<uint8_t>& bytes) {
  static TemporaryFiles files;
  return files.Add(bytes);
}
#else
// A memory file holding `bytes`, open until the process ends; its path, or nothing.
std::optional<std::string> MemoryFile(const std::vector<uint8_t>& bytes) {
  const int fd = memfd_create("qvx5120-prepared", MFD_CLOEXEC);
  if (fd < 0)
    return std::nullopt;
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n <= 0) {
      close(fd);
      return std::nullopt;
    }
    written += static_cast<size_t>(n);
  }
  return "/proc/self/fd/" + std::to_string(fd);
}
#endif

}  // namespace

std::optional<std::string> PrepareInMemory(std::vector<LoadStep>& steps, std::ostream& out) {
  for (LoadStep& step : steps) {
    if (!step.fit || step.erase || Takes(step))
      continue;
    prep::StartImaging("qvx5120-load");
    prep::PrepOptions options;
    options.kind = ImageKindOf(step.kind())->shape;
    options.fit = *step.fit;
    try {
      const prep::Prepared prepared = prep::PreparePicture(step.input(), options);
      const auto path = MemoryFile(prepared.bmp);
      if (!path)
        return step.file + ": " + prep::text::kNoMemoryFile;
      step.prepared_file = *path;
      out << prep::text::PreparedNote(step.file, SlotName(step.request.slot),
                                      prep::DescribePlacement(prepared.placement, *step.fit))
          << '\n';
    } catch (const prep::PrepError& error) {
      return error.what();
    }
  }
  return std::nullopt;
}

}  // namespace qvx::content
