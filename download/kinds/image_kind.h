// What differs between the picture download and the banner and countdown downloads: the texts, the
// header check that decides, the bands, the erase steps of the bar and the closing wait. The
// download, the loader's file check before it and the preparation of pictures all ask the kind's
// row for it (`KindModule::image`).
#pragma once

#include <string_view>

#include "download/kinds/slot.h"
#include "encode/bmp_check.h"

namespace qvx {

struct ImageKind {
  const OperationTexts& texts;
  bool BmpVerdict::*acceptable;  // the header check that decides for this kind
  BmpKind shape;                 // the frame a file must have
  int height;                    // its lines, as the flash viewer reads them back
  std::string_view prep_word;    // the qvx5120-prep command that makes such a file
  int bands;                     // of 36 line pairs each; a picture's bands run bottom-up
  int erase_progress_step;       // the bar after sector i (from 0) of the slot: (i + 1) * step
  int closing_wait;              // seconds between the finished title and the completion box
  int pauses_after_line;         // extra pauses after each video line sent

  bool Accepts(const BmpVerdict& verdict) const { return verdict.*acceptable; }
};

// The image kind's row, or nullptr for a kind that stores no image.
inline const ImageKind* ImageKindOf(SlotKind kind) {
  return InfoOf(kind).module.image;
}

}  // namespace qvx
