// Every text about preparing pictures that a user reads: the words for each requirement a BMP
// fails (the loader's refusals), the loader's hints and notes about --fit, and qvx5120-prep's
// messages. Functions compose the texts that carry a value.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qvx::prep::text {

// What a refused file is.
std::string TooShort(uint64_t bytes, size_t header);  // "only 5 bytes, too short ..."
std::string OtherFormat(std::string_view format);     // "a PNG image, not a BMP file"
inline constexpr const char* kNotBmp = "not a BMP file (it does not start with \"BM\")";
std::string InfoHeader(uint32_t size, std::string_view name, uint32_t expected_size);
std::string DataAt(uint32_t at, size_t header, uint32_t expected_size);
std::string DeclaredSize(uint32_t declared, uint32_t expected);
std::string Width(int64_t width, uint32_t expected);
inline constexpr const char* kTopDown =
    "top-down rows (the generator takes bottom-up rows, a positive height)";
std::string Height(int64_t rows, bool picture);
std::string BitCount(int bits);
std::string Compression(std::string_view name);
std::string ShorterThanDeclared(uint64_t bytes, uint32_t declared);

// The loader: what to do about a refused picture or banner; `prep_command` is "picture" or
// "banner". The hint offers --fit too.
std::string PrepHint(std::string_view prep_command);
inline constexpr const char* kFitModes = "letterbox, crop or stretch";
std::string NotAFit(std::string_view mode);  // --fit "x" is not letterbox, crop or stretch
inline constexpr const char* kFitWithSet =
    "--fit applies to the operations on the command line; a content set gives fit per entry";
inline constexpr const char* kNoMemoryFile = "no memory file for the prepared picture";
// "logo.png: prepared in memory for picture 1, letterbox: source ..."
std::string PreparedNote(std::string_view file, std::string_view slot, std::string_view geometry);

// qvx5120-prep's command line.
inline constexpr const char* kPrepProgram = "qvx5120-prep: ";
inline constexpr const char* kNoCommand = "no command given (see --help)";
std::string NotACommand(std::string_view command);
std::string NeedsValue(std::string_view option);
// `option`: "value" is not `choices` ("576 or 480").
std::string NotOneOf(std::string_view option, std::string_view value, std::string_view choices);
std::string NotAColour(std::string_view option, std::string_view name);
std::string NotAnOptionOf(std::string_view option, std::string_view command);
inline constexpr const char* kTextOwnBanner =
    "--text draws its own banner: --fit and --background do not apply (--colors)";
inline constexpr const char* kTextOneFile =
    "banner --text TEXT takes one file, the BMP to write (see --help)";
inline constexpr const char* kFontWithText = "--font and --colors go with --text (see --help)";
std::string TwoFiles(std::string_view command);
inline constexpr const char* kEmptyText = "--text: the banner's text is empty";
std::string PrepUsage(std::string_view formats);  // the --help text, with the reader's formats

// Files qvx5120-prep cannot read or write.
std::string CannotWrite(std::string_view path);
std::string CannotOpen(std::string_view path);
std::string NotTaken(std::string_view path);
std::string NoSuchFile(std::string_view path);
std::string NotSvg(std::string_view path);
std::string SvgUnreadable(std::string_view path);  // Windows: why not, and what to do instead
std::string NotAPicture(std::string_view path, std::string_view why);

// What qvx5120-prep says it did.
// "OUT.bmp: 720x576 picture, 576 lines 4:3, pixel aspect 59:54"
std::string Written(std::string_view path, int width, int height, bool banner, int lines,
                    std::string_view aspect, int par_num, int par_den);
// "  text \"STUDIO 3\" in DejaVu Sans 43 lines, #ffff00 on #000080, on columns 265..454, ..."
std::string TextDrawn(std::string_view text, std::string_view font, std::string_view fg,
                      std::string_view bg, std::string_view where);
std::string FontUsed(std::string_view family, int pixel_size);  // "DejaVu Sans 43 lines"
// "  from card.svg: SVG 1200x800, ..."
std::string ReadFrom(std::string_view path, std::string_view summary);
// "  letterbox: source ... , background #000000"
std::string Placed(std::string_view placement, std::string_view background);
std::string PreviewWritten(std::string_view path);
// "crop: source 1573.3x1152 from 77.3,0 on columns 0..719, rows 0..575"; no "from" when `from`
// is empty.
std::string Placement(std::string_view fit, std::string_view source, std::string_view from,
                      std::string_view area);
// "columns 0..719, rows 26..549"
std::string Area(int x, int width, int y, int height);

// What was done to a picture read, for its summary.
inline constexpr const char* kPalette = ", palette";
inline constexpr const char* k16Bit = ", 16-bit";
inline constexpr const char* kAlpha = ", alpha";
inline constexpr const char* kTurnedUpright = ", turned upright by its EXIF orientation";
std::string ColourSpaceConverted(std::string_view description);
std::string SvgRendered(std::string_view size, std::string_view rendered);

}  // namespace qvx::prep::text
