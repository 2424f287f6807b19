// What the generator will hold for a file: its rows sent as the download sends them (the line
// reader of download/video_lines.h, the line encoder and the line addresses of encode/), stored in
// a flash image of our own, and decoded back by the flash reader, as `qvx5120-flash picture 1` or
// `banner 1` would show it after a load.
#pragma once

#include <string>

namespace qvx::prep {

// Reads the BMP at `bmp_path` and writes the preview PNG: 720x576 for a picture (a 480-line
// picture's top 96 lines repeat its top row, as the download sends them), 720x72 for a banner.
// Throws PrepError when the generator would refuse the file or a file cannot be read or written.
void WritePreview(const std::string& bmp_path, const std::string& png_path);

}  // namespace qvx::prep
