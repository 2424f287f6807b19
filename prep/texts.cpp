// Preparation texts that carry a value.
#include "prep/texts.h"

namespace qvx::prep::text {
namespace {

std::string N(int64_t value) {
  return std::to_string(value);
}

}  // namespace

std::string TooShort(uint64_t bytes, size_t header) {
  return "only " + N(static_cast<int64_t>(bytes)) + " bytes, too short for the " +
         N(static_cast<int64_t>(header)) + "-byte header";
}

std::string OtherFormat(std::string_view format) {
  return "a " + std::string(format) + " image, not a BMP file";
}

std::string InfoHeader(uint32_t size, std::string_view name, uint32_t expected_size) {
  return "a " + N(size) + "-byte " + std::string(name) +
         " header (the generator takes the 40-byte header, declared size " + N(expected_size) + ")";
}

std::string DataAt(uint32_t at, size_t header, uint32_t expected_size) {
  return "pixel data at byte " + N(at) + " (the generator takes it at byte " +
         N(static_cast<int64_t>(header)) + ", declared size " + N(expected_size) + ")";
}

std::string DeclaredSize(uint32_t declared, uint32_t expected) {
  return "declared size " + N(declared) + " (the generator takes " + N(expected) + ")";
}

std::string Width(int64_t width, uint32_t expected) {
  return "width " + N(width) + " (the generator takes " + N(expected) + ")";
}

std::string Height(int64_t rows, bool picture) {
  return "height " + N(rows) +
         (picture ? " (a picture is 576 or 480 lines)" : " (a banner is 72 lines)");
}

std::string BitCount(int bits) {
  return N(bits) + " bits per pixel (the generator takes 24)";
}

std::string Compression(std::string_view name) {
  return std::string(name) + " compression (the generator takes uncompressed pixels)";
}

std::string ShorterThanDeclared(uint64_t bytes, uint32_t declared) {
  return N(static_cast<int64_t>(bytes)) + " bytes, shorter than the " + N(declared) +
         " its header declares";
}

std::string PrepHint(std::string_view prep_command) {
  return "qvx5120-prep " + std::string(prep_command) +
         " makes the file the generator takes, or load it with --fit letterbox, crop or stretch";
}

std::string NotAFit(std::string_view mode) {
  return "--fit: \"" + std::string(mode) + "\" is not " + kFitModes;
}

std::string PreparedNote(std::string_view file, std::string_view slot, std::string_view geometry) {
  return std::string(file) + ": prepared in memory for " + std::string(slot) + ", " +
         std::string(geometry);
}

std::string NotACommand(std::string_view command) {
  return "\"" + std::string(command) + "\" is not a command (see --help)";
}

std::string NeedsValue(std::string_view option) {
  return std::string(option) + " needs a value (see --help)";
}

std::string NotOneOf(std::string_view option, std::string_view value, std::string_view choices) {
  return std::string(option) + ": \"" + std::string(value) + "\" is not " + std::string(choices);
}

std::string NotAColour(std::string_view option, std::string_view name) {
  return NotOneOf(option, name, "a colour (a name or #rrggbb)");
}

std::string NotAnOptionOf(std::string_view option, std::string_view command) {
  return "\"" + std::string(option) + "\" is not an option of " + std::string(command) +
         " (see --help)";
}

std::string TwoFiles(std::string_view command) {
  return std::string(command) +
         " takes two files, the picture to read and the BMP to write (see --help)";
}

std::string CannotWrite(std::string_view path) {
  return std::string(path) + ": cannot be written";
}

std::string CannotOpen(std::string_view path) {
  return std::string(path) + ": cannot be opened for reading";
}

std::string NotTaken(std::string_view path) {
  return std::string(path) + ": the generator does not take this file";
}

std::string NoSuchFile(std::string_view path) {
  return std::string(path) + ": no such file";
}

std::string NotSvg(std::string_view path) {
  return std::string(path) + ": not an SVG drawing Qt SVG can render";
}

std::string SvgUnreadable(std::string_view path) {
  return std::string(path) +
         ": an SVG drawing, which Windows has no reader for; export it as a PNG (at twice the "
         "generator's frame or more, 1440x1152 for a 4:3 picture) and prepare that, or prepare "
         "the drawing with qvx5120-prep on Linux";
}

std::string NotAPicture(std::string_view path, std::string_view why) {
  return std::string(path) + ": cannot be read as a picture (" + std::string(why) + ")";
}

std::string Written(std::string_view path, int width, int height, bool banner, int lines,
                    std::string_view aspect, int par_num, int par_den) {
  return std::string(path) + ": " + N(width) + "x" + N(height) +
         (banner ? " banner, " : " picture, ") + N(lines) + " lines " + std::string(aspect) +
         ", pixel aspect " + N(par_num) + ":" + N(par_den) + "\n";
}

std::string TextDrawn(std::string_view text, std::string_view font, std::string_view fg,
                      std::string_view bg, std::string_view where) {
  return "  text \"" + std::string(text) + "\" in " + std::string(font) + ", " + std::string(fg) +
         " on " + std::string(bg) + ", on " + std::string(where) + "\n";
}

std::string FontUsed(std::string_view family, int pixel_size) {
  return std::string(family) + " " + N(pixel_size) + " lines";
}

std::string ReadFrom(std::string_view path, std::string_view summary) {
  return "  from " + std::string(path) + ": " + std::string(summary) + "\n";
}

std::string Placed(std::string_view placement, std::string_view background) {
  return "  " + std::string(placement) + ", background " + std::string(background) + "\n";
}

std::string PreviewWritten(std::string_view path) {
  return "  preview of what the generator will hold: " + std::string(path) + "\n";
}

std::string Placement(std::string_view fit, std::string_view source, std::string_view from,
                      std::string_view area) {
  return std::string(fit) + ": source " + std::string(source) +
         (from.empty() ? "" : " from " + std::string(from)) + " on " + std::string(area);
}

std::string Area(int x, int width, int y, int height) {
  return "columns " + N(x) + ".." + N(x + width - 1) + ", rows " + N(y) + ".." + N(y + height - 1);
}

std::string ColourSpaceConverted(std::string_view description) {
  return ", colour space" + (description.empty() ? "" : " \"" + std::string(description) + "\"") +
         " converted to sRGB";
}

std::string SvgRendered(std::string_view size, std::string_view rendered) {
  return "SVG " + std::string(size) + ", rendered at " + std::string(rendered);
}

std::string PrepUsage(std::string_view formats) {
  return "Usage: qvx5120-prep picture IN OUT.bmp [OPTION...]\n"
         "       qvx5120-prep banner IN OUT.bmp [OPTION...]\n"
         "       qvx5120-prep banner --text TEXT OUT.bmp [--font FAMILY] [--colors FG,BG]\n"
         "\n"
         "Writes the one kind of file a QVX5120 generator takes (an uncompressed 24-bit BMP with\n"
         "the 40-byte header, bottom-up, 720x576 or 720x480 for a picture, 720x72 for a banner)\n"
         "from a picture in any format below, or a banner from a line of text. The picture is\n"
         "turned upright by its EXIF orientation, converted from its colour profile to sRGB, put\n"
         "over the background where it is transparent, and resampled in linear light, averaging\n"
         "where it shrinks, for the generator's non-square samples (ITU-R BT.601: 59:54 for 576\n"
         "lines, 10:11 for 480; 118:81 and 40:33 at 16:9). It prints where the picture went.\n"
         "\n"
         "Options:\n"
         "  --fit letterbox|crop|stretch  letterbox (the default): all of the picture, bars of\n"
         "                                the background round it; crop: the whole frame, the\n"
         "                                picture's middle; stretch: the whole frame, the picture\n"
         "                                distorted to fill it\n"
         "  --lines 576|480               a picture's height, and the line standard whose sample\n"
         "                                shape applies (default 576)\n"
         "  --aspect 4:3|16:9             the display's aspect (default 4:3)\n"
         "  --background COLOR            behind transparency and in the bars: a name or\n"
         "                                #rrggbb (default black)\n"
         "  --text TEXT                   banner: draw TEXT, centred, in a system font\n"
         "  --font FAMILY                 the text's font family (default: the system's)\n"
         "  --colors FG,BG                the text's colour and the banner's (default\n"
         "                                white,black)\n"
         "  --preview OUT.png             also write what the generator will hold: the file's\n"
         "                                lines encoded as the download sends them and decoded\n"
         "                                back, as qvx5120-flash shows the slot after a load\n"
         "\n"
         "Formats: " +
         std::string(formats) +
         "\n"
         "\n"
         "Exit status:\n"
         "  0  written\n"
         "  1  an output cannot be written\n"
         "  2  the command line is wrong\n"
         "  3  the input is refused: no such file, not a picture, or an empty text\n"
         "\n"
         "Examples:\n"
         "  qvx5120-prep picture logo.png logo.bmp\n"
         "  qvx5120-prep picture photo.jpg photo.bmp --fit crop --aspect 16:9\n"
         "  qvx5120-prep picture card.svg card.bmp --lines 480 --preview card-preview.png\n"
         "  qvx5120-prep banner --text \"STUDIO 3\" studio3.bmp --colors yellow,navy\n";
}

}  // namespace qvx::prep::text
