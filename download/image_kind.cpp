// The two kinds of image download.
#include "download/image_kind.h"

#include "download/progress.h"

namespace qvx {
namespace {

constexpr ImageKind kPictureKind{kPictureTexts, &BmpVerdict::PictureAcceptable, 8,
                                 progress::kPictureSectorStep, 0};
constexpr ImageKind kBannerKind{kBannerTexts, &BmpVerdict::BannerAcceptable, 1,
                                progress::kBannerSectorStep, 2};

}  // namespace

const ImageKind& ImageKindOf(SlotKind kind) {
  return kind == SlotKind::kPicture ? kPictureKind : kBannerKind;
}

}  // namespace qvx
