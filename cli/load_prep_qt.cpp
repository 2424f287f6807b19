// Preparing pictures in memory with Qt: the prepared file lives in an anonymous memory file that
// the download opens by its /proc path like any other file, and that disappears with the process.
#include <sys/mman.h>
#include <unistd.h>

#include <QGuiApplication>
#include <memory>

#include "cli/load_prep.h"
#include "download/bitmap_file.h"
#include "download/kinds/image_kind.h"
#include "prep/prepare.h"
#include "prep/source_picture.h"
#include "prep/texts.h"

namespace qvx::cli {
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

// Fonts (an SVG's text) need a GUI application; the loader makes one that shows nothing.
void NeedGuiApplication() {
  if (QCoreApplication::instance() != nullptr)
    return;
  static int argc = 1;
  static char name[] = "qvx5120-load";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static const auto app = std::make_unique<QGuiApplication>(argc, argv);
}

// "picture 1", "banner 3", "countdown".
std::string SlotName(const Slot& slot) {
  std::string name(slot.info().word);
  return slot.info().count > 1 ? name + " " + std::to_string(slot.number()) : name;
}

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

}  // namespace

const bool kFitAvailable = true;

std::optional<std::string> PrepareInMemory(std::vector<LoadStep>& steps, std::ostream& out) {
  for (LoadStep& step : steps) {
    if (!step.fit || step.erase || Takes(step))
      continue;
    NeedGuiApplication();
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

}  // namespace qvx::cli
