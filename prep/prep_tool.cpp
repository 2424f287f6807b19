// The preparation tool's command line.
#include "prep/prep_tool.h"

#include <QImageReader>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <vector>

#include "prep/preview.h"
#include "prep/source_picture.h"
#include "prep/text_banner.h"

namespace qvx::prep {
namespace {

constexpr const char* kProgram = "qvx5120-prep: ";

class Usage : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Command {
  std::string what;  // picture or banner
  std::vector<std::string> operands;
  PrepOptions options;
  std::optional<std::string> text;
  std::string font;
  std::optional<std::string> colors;
  bool background_given = false;
  bool fit_given = false;
  std::string preview;
};

QColor ColorNamed(const std::string& name, const char* option) {
  const QColor color = QColor::fromString(QString::fromStdString(name));
  if (!color.isValid())
    throw Usage(std::string(option) + ": \"" + name + "\" is not a colour (a name or #rrggbb)");
  return color;
}

Command ReadCommand(std::span<const std::string> args) {
  if (args.empty())
    throw Usage("no command given (see --help)");
  Command c;
  c.what = args.front();
  if (c.what != "picture" && c.what != "banner")
    throw Usage("\"" + c.what + "\" is not a command (see --help)");
  c.options.kind = c.what == "picture" ? BmpKind::kPicture : BmpKind::kBanner;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("--") || arg == "-") {
      c.operands.push_back(arg);
      continue;
    }
    if (i + 1 >= args.size())
      throw Usage(arg + " needs a value (see --help)");
    const std::string& value = args[++i];
    if (arg == "--lines") {
      if (value != "576" && value != "480")
        throw Usage("--lines: \"" + value + "\" is not 576 or 480");
      c.options.lines = std::stoi(value);
    } else if (arg == "--aspect") {
      const auto aspect = AspectNamed(value);
      if (!aspect)
        throw Usage("--aspect: \"" + value + "\" is not 4:3 or 16:9");
      c.options.aspect = *aspect;
    } else if (arg == "--fit") {
      const auto fit = FitNamed(value);
      if (!fit)
        throw Usage("--fit: \"" + value + "\" is not letterbox, crop or stretch");
      c.options.fit = *fit;
      c.fit_given = true;
    } else if (arg == "--background") {
      c.options.background = ColorNamed(value, "--background");
      c.background_given = true;
    } else if (arg == "--preview") {
      c.preview = value;
    } else if (arg == "--text" && c.what == "banner") {
      c.text = value;
    } else if (arg == "--font" && c.what == "banner") {
      c.font = value;
    } else if (arg == "--colors" && c.what == "banner") {
      c.colors = value;
    } else {
      throw Usage("\"" + arg + "\" is not an option of " + c.what + " (see --help)");
    }
  }
  if (c.text) {
    if (c.fit_given || c.background_given)
      throw Usage("--text draws its own banner: --fit and --background do not apply (--colors)");
    if (c.operands.size() != 1)
      throw Usage("banner --text TEXT takes one file, the BMP to write (see --help)");
  } else {
    if (!c.font.empty() || c.colors)
      throw Usage("--font and --colors go with --text (see --help)");
    if (c.operands.size() != 2)
      throw Usage(c.what +
                  " takes two files, the picture to read and the BMP to write (see --help)");
  }
  return c;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out)
    throw PrepError(path + ": cannot be written");
}

std::string HexColor(const QColor& color) {
  return color.toRgb().name().toStdString();
}

// "OUT.bmp: 720x576 picture, 576 lines 4:3, pixel aspect 59:54".
std::string Heading(const std::string& target, const Frame& f, const PrepOptions& o) {
  const bool banner = o.kind == BmpKind::kBanner;
  return target + ": " + std::to_string(f.width) + "x" + std::to_string(f.height) +
         (banner ? " banner, " : " picture, ") + std::to_string(o.lines) + " lines " +
         std::string(AspectName(o.aspect)) + ", pixel aspect " +
         std::to_string(f.pixel_aspect.num) + ":" + std::to_string(f.pixel_aspect.den) + "\n";
}

std::string Lines(const Placement& p) {
  return "columns " + std::to_string(p.x) + ".." + std::to_string(p.x + p.width - 1) + ", rows " +
         std::to_string(p.y) + ".." + std::to_string(p.y + p.height - 1);
}

int Run(const Command& c, std::ostream& out) {
  const std::string& target = c.operands.back();
  if (c.text) {
    TextBannerOptions options{*c.text,   c.font,          Qt::white,
                              Qt::black, c.options.lines, c.options.aspect};
    if (c.colors) {
      const size_t comma = c.colors->find(',');
      if (comma == std::string::npos)
        throw Usage("--colors: \"" + *c.colors + "\" is not FG,BG");
      options.foreground = ColorNamed(c.colors->substr(0, comma), "--colors");
      options.background = ColorNamed(c.colors->substr(comma + 1), "--colors");
    }
    const TextBanner banner = RenderTextBanner(options);
    WriteFile(target, banner.prepared.bmp);
    out << Heading(target, banner.prepared.frame, c.options) << "  text \"" << *c.text << "\" in "
        << banner.font << ", " << HexColor(options.foreground) << " on "
        << HexColor(options.background) << ", on " << Lines(banner.prepared.placement) << '\n';
  } else {
    const Prepared prepared = PreparePicture(c.operands.front(), c.options);
    WriteFile(target, prepared.bmp);
    out << Heading(target, prepared.frame, c.options) << "  from " << c.operands.front() << ": "
        << prepared.source << '\n'
        << "  " << DescribePlacement(prepared.placement, c.options.fit) << ", background "
        << HexColor(c.options.background) << '\n';
  }
  if (!c.preview.empty()) {
    WritePreview(target, c.preview);
    out << "  preview of what the generator will hold: " << c.preview << '\n';
  }
  return kPrepDone;
}

}  // namespace

int RunPrepTool(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  try {
    if (!args.empty() && (args.front() == "--help" || args.front() == "-h")) {
      out << PrepUsage();
      return kPrepDone;
    }
    if (args.size() == 1 && args.front() == "--version") {
      out << "qvx5120-prep " QVX_VERSION "\n";
      return kPrepDone;
    }
    const Command command = ReadCommand(args);
    try {
      return Run(command, out);
    } catch (const PrepError& error) {
      err << kProgram << error.what() << '\n';
      return kPrepFileError;
    }
  } catch (const Usage& error) {
    err << kProgram << error.what() << '\n';
    return kPrepUsage;
  }
}

std::string PrepUsage() {
  std::string formats;
  for (const QByteArray& format : QImageReader::supportedImageFormats())
    formats += (formats.empty() ? "" : " ") + format.toStdString();
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
         formats +
         " svg\n"
         "\n"
         "Exit status:\n"
         "  0  written\n"
         "  1  the picture cannot be read, or an output cannot be written\n"
         "  2  the command line is wrong\n"
         "\n"
         "Examples:\n"
         "  qvx5120-prep picture logo.png logo.bmp\n"
         "  qvx5120-prep picture photo.jpg photo.bmp --fit crop --aspect 16:9\n"
         "  qvx5120-prep picture card.svg card.bmp --lines 480 --preview card-preview.png\n"
         "  qvx5120-prep banner --text \"STUDIO 3\" studio3.bmp --colors yellow,navy\n";
}

}  // namespace qvx::prep
