// A picture's EXIF orientation, read from the file and applied to its pixels, for a reader that
// does neither itself (the Windows Imaging Component hands over the pixels as stored). Qt's
// readers turn pictures upright on their own; the tests hold this code to them.
#pragma once

#include <string>

#include "prep/source_picture.h"

namespace qvx::prep {

// The EXIF orientation (1 to 8; 1 is upright) of a JPEG's Exif block or a TIFF's first directory;
// 1 when the file has none or is of another kind.
int ExifOrientation(const std::string& path);

// `picture` turned upright for `orientation`: 2 mirrored, 3 turned 180 degrees, 4 flipped, 5
// transposed, 6 turned 90 degrees clockwise, 7 transversed, 8 turned 90 degrees anticlockwise.
SourcePicture Upright(const SourcePicture& picture, int orientation);

}  // namespace qvx::prep
