// The preview: the download's transfer into a flash image in memory.
#include "prep/preview.h"

#include <algorithm>

#include "download/bitmap_file.h"
#include "download/kinds/image_kind.h"
#include "download/kinds/image_slots.h"
#include "download/video_lines.h"
#include "flash/flash_files.h"
#include "flash/flash_image.h"
#include "prep/source_picture.h"
#include "prep/texts.h"

namespace qvx::prep {

void WritePreview(const std::string& bmp_path, const std::string& png_path) {
  const auto file = ContentFile::Open(bmp_path);
  if (!file)
    throw PrepError(text::CannotOpen(bmp_path));
  try {
    BmpHeader header{};
    const BmpVerdict verdict = ReadBitmapHeader(*file, header);
    if (!verdict.PictureAcceptable && !verdict.BannerAcceptable)
      throw PrepError(text::NotTaken(bmp_path));
    const bool picture = verdict.PictureAcceptable;
    const flash::ImageSlot slot = picture ? PictureImageSlot(1) : BannerImageSlot(1);
    // Bands of 36 line pairs, as the download sends them: band 0 to the highest lines.
    const int bands = ImageKindOf(picture ? SlotKind::kPicture : SlotKind::kBanner)->bands;
    const uint64_t data_end = DeclaredFileSize(header);

    std::vector<uint8_t> image(flash::kFlashImageBytes, 0xFF);
    BmpLine row{};
    LineBuffer line{};
    for (int band = 0; band < bands; ++band) {
      const auto offset =
          static_cast<uint32_t>(bands - 1 - band) * kLinePairsPerBand * kLineAddressUnits;
      for (int k = 0; k < kLinePairsPerBand; ++k) {
        for (uint32_t field : {slot.second_field, slot.first_field}) {
          ReadVideoRow(*file, data_end, row);
          EncodeLine(row, line);
          const size_t at = size_t{LineAddress(field + offset, k)} * 2;
          std::copy_n(line.begin(), kEncodedLineSize,
                      image.begin() + static_cast<std::ptrdiff_t>(at));
        }
      }
    }
    flash::WritePng(flash::DecodeImage(flash::FlashImage(std::move(image)), slot), png_path);
  } catch (const FileReadError& error) {
    throw PrepError(bmp_path + ": " + error.what());
  } catch (const std::runtime_error& error) {
    if (dynamic_cast<const PrepError*>(&error) != nullptr)
      throw;
    throw PrepError(error.what());
  }
}

}  // namespace qvx::prep
