// What a kind of content does for itself. Each row of the kind table (download/kinds/slot.h) points
// at its kind's module, in the manner of a driver's table of operations: the download, what the
// flash viewer reports of a slot and the content it exports. Everything outside this folder asks
// the row; what only one kind knows lives in its own file here (image.cpp, pattern.cpp, audio.cpp).
#pragma once

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "flash/flash_image.h"

namespace qvx {

class Downloads;
struct DownloadRequest;
struct ImageKind;
class Slot;
enum class Outcome;

// What one slot of a flash image holds, with the checks that tell stored content from damage.
struct SlotReport {
  std::string slot;    // "Picture 1", "Banner 8", "Countdown", "Pattern 0", "Audio"
  bool erased;         // every byte of the slot's content is 0xFF
  bool passed;         // the checks found nothing wrong (true for an erased slot)
  std::string detail;  // what the checks found

  static SlotReport Erased(std::string slot);
  static SlotReport Holding(std::string slot, bool passed, std::string detail) {
    return {std::move(slot), false, passed, std::move(detail)};
  }
};

// A slot's content read back, in the form it is written out as: an image's rows from the top
// (a PNG), the audio loop's samples (a WAV file), or the stored bytes as they are.
using StoredContent = std::variant<std::vector<BmpLine>, flash::AudioSamples, std::vector<uint8_t>>;

struct KindModule {
  // The download of one slot: erase, file or synthesis, transfer, close.
  Outcome (*download)(Downloads& downloads, const DownloadRequest& request);
  // What the slot holds and whether its checks pass.
  SlotReport (*inspect)(const flash::FlashImage& flash, const Slot& slot);
  // The slot's content, for writing out.
  StoredContent (*stored)(const flash::FlashImage& flash, const Slot& slot);
  // The image downloads' differences (download/kinds/image_kind.h); nullptr for a kind that
  // stores no image.
  const ImageKind* image;
};

extern const KindModule kPictureModule;
// Banners and the countdown banner: the same download into different slots.
extern const KindModule kBannerModule;
extern const KindModule kPatternModule;
extern const KindModule kAudioModule;

}  // namespace qvx
