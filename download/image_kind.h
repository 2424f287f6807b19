// What differs between the picture download and the banner and countdown downloads: the texts, the
// header check that decides, the bands, the erase steps of the bar and the closing wait. The
// download and the loader's file check before it both ask this table.
#pragma once

#include "download/kinds/slot.h"
#include "encode/bmp_check.h"

namespace qvx {

struct ImageKind {
  const OperationTexts& texts;
  bool BmpVerdict::*acceptable;  // the header check that decides for this kind
  int bands;                     // of 36 line pairs each; a picture's bands run bottom-up
  int erase_progress_step;       // the bar after sector i (from 0) of the slot: (i + 1) * step
  int closing_wait;              // seconds between the finished title and the completion box

  bool Accepts(const BmpVerdict& verdict) const { return verdict.*acceptable; }
};

// The picture's row for pictures, the banner's for banners and the countdown.
const ImageKind& ImageKindOf(SlotKind kind);

}  // namespace qvx
