// BMP file check.
#include "download/bitmap_file.h"

namespace qvx {

BmpVerdict ReadBitmapHeader(ContentFile& file, BmpHeader& header) {
  if (file.Read(header) < header.size())
    return {false, false};
  const BmpVerdict verdict = ValidateBmpHeader(header);
  if (file.size() < DeclaredFileSize(header))
    return {false, false};
  return verdict;
}

}  // namespace qvx
