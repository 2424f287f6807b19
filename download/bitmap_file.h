// Judging a BMP file before any of it is sent.
#pragma once

#include "download/content_file.h"
#include "encode/bmp_check.h"

namespace qvx {

// Reads the header from the start of `file` into `header` and judges it for both kinds of image.
// A file too short to hold a header fits neither, so the check never judges bytes left over from
// an earlier file; nor does a file shorter than its header declares, which would send repeated
// stale rows.
BmpVerdict ReadBitmapHeader(ContentFile& file, BmpHeader& header);

}  // namespace qvx
