// Checking a step's input before anything is sent, and naming the step.
#include "content/step.h"

#include <filesystem>

#include "content/load_prep.h"
#include "content/texts.h"
#include "download/amplitude_check.h"
#include "download/bitmap_file.h"
#include "download/content_file.h"
#include "download/kinds/image_kind.h"
#include "encode/tone_synthesis.h"

namespace qvx::content {
namespace {

// Why a content file did not open: a folder given as the file, or anything else the system says
// no to.
const char* CannotOpenWhy(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error) ? text::kIsAFolder : text::kCannotOpen;
}

}  // namespace

std::optional<std::string> CheckStepInput(const LoadStep& step) {
  if (step.erase)
    return std::nullopt;
  if (step.request.slot.info().source == SlotSource::kTones) {
    const std::vector<AmplitudeRefusal> refused = RefusedAmplitudes(step.request.audio.amplitudes);
    if (!refused.empty())
      return refused.front().message;
    return std::nullopt;
  }
  try {
    const auto file = ContentFile::Open(step.source());
    if (!file)
      return step.file + CannotOpenWhy(step.source());
    // Patterns are stored as they come; a picture still to be prepared is read by its preparation.
    const ImageKind* kind = ImageKindOf(step.kind());
    if (kind == nullptr || (step.fit && step.prepared_file.empty()))
      return std::nullopt;
    // The header read and judged as the download will read and judge it.
    BmpHeader header{};
    if (!kind->Accepts(ReadBitmapHeader(*file, header)))
      return step.file + ": " + kind->texts.refused + RefusalDetail(step, header, file->size());
    return std::nullopt;
  } catch (const FileReadError& error) {
    return step.file + ": " + error.what();
  }
}

std::string Describe(const LoadStep& step) {
  const Slot& slot = step.request.slot;
  const SlotKindInfo& info = slot.info();
  if (info.source == SlotSource::kTones) {
    std::string described(info.word);
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      described += (ch == 0 ? " " : ", ") +
                   std::string(ToneLabel(step.request.audio.tone_rows[ch])) + " " +
                   step.request.audio.amplitudes[ch];
    }
    return described;
  }
  std::string name(info.word);
  if (info.count > 1)
    name += " " + std::to_string(slot.number());
  return step.erase ? "erase " + name : name + " from " + step.file;
}

}  // namespace qvx::content
