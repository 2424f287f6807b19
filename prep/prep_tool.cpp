// The preparation tool's command line.
#include "prep/prep_tool.h"

#include <fstream>
#include <optional>
#include <stdexcept>
#include <vector>

#include "prep/preview.h"
#include "prep/source_picture.h"
#include "prep/text_banner.h"
#include "prep/texts.h"

namespace qvx::prep {
namespace {

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

Colour ColorNamed(const std::string& name, const char* option) {
  const auto colour = ColourNamed(name);
  if (!colour)
    throw Usage(text::NotAColour(option, name));
  return *colour;
}

Command ReadCommand(std::span<const std::string> args) {
  if (args.empty())
    throw Usage(text::kNoCommand);
  Command c;
  c.what = args.front();
  if (c.what != "picture" && c.what != "banner")
    throw Usage(text::NotACommand(c.what));
  c.options.kind = c.what == "picture" ? BmpKind::kPicture : BmpKind::kBanner;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("--") || arg == "-") {
      c.operands.push_back(arg);
      continue;
    }
    if (i + 1 >= args.size())
      throw Usage(text::NeedsValue(arg));
    const std::string& value = args[++i];
    if (arg == "--lines") {
      if (value != "576" && value != "480")
        throw Usage(text::NotOneOf(arg, value, "576 or 480"));
      c.options.lines = std::stoi(value);
    } else if (arg == "--aspect") {
      const auto aspect = AspectNamed(value);
      if (!aspect)
        throw Usage(text::NotOneOf(arg, value, "4:3 or 16:9"));
      c.options.aspect = *aspect;
    } else if (arg == "--fit") {
      const auto fit = FitNamed(value);
      if (!fit)
        throw Usage(text::NotAFit(value));
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
      throw Usage(text::NotAnOptionOf(arg, c.what));
    }
  }
  if (c.text) {
    if (c.fit_given || c.background_given)
      throw Usage(text::kTextOwnBanner);
    if (c.operands.size() != 1)
      throw Usage(text::kTextOneFile);
  } else {
    if (!c.font.empty() || c.colors)
      throw Usage(text::kFontWithText);
    if (c.operands.size() != 2)
      throw Usage(text::TwoFiles(c.what));
  }
  return c;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out)
    throw PrepError(text::CannotWrite(path));
}

std::string Heading(const std::string& target, const Frame& f, const PrepOptions& o) {
  return text::Written(target, f.width, f.height, o.kind == BmpKind::kBanner, o.lines,
                       AspectName(o.aspect), f.pixel_aspect.num, f.pixel_aspect.den);
}

int Run(const Command& c, std::ostream& out) {
  const std::string& target = c.operands.back();
  if (c.text) {
    TextBannerOptions options{*c.text, c.font, kWhite, kBlack, c.options.lines, c.options.aspect};
    if (c.colors) {
      const size_t comma = c.colors->find(',');
      if (comma == std::string::npos)
        throw Usage(text::NotOneOf("--colors", *c.colors, "FG,BG"));
      options.foreground = ColorNamed(c.colors->substr(0, comma), "--colors");
      options.background = ColorNamed(c.colors->substr(comma + 1), "--colors");
    }
    const TextBanner banner = RenderTextBanner(options);
    WriteFile(target, banner.prepared.bmp);
    const Placement& p = banner.prepared.placement;
    out << Heading(target, banner.prepared.frame, c.options)
        << text::TextDrawn(*c.text, banner.font, HexName(options.foreground),
                           HexName(options.background), text::Area(p.x, p.width, p.y, p.height));
  } else {
    const Prepared prepared = PreparePicture(c.operands.front(), c.options);
    WriteFile(target, prepared.bmp);
    out << Heading(target, prepared.frame, c.options)
        << text::ReadFrom(c.operands.front(), prepared.source)
        << text::Placed(DescribePlacement(prepared.placement, c.options.fit),
                        HexName(c.options.background));
  }
  if (!c.preview.empty()) {
    WritePreview(target, c.preview);
    out << text::PreviewWritten(c.preview);
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
    } catch (const InputRefused& error) {
      err << text::kPrepProgram << error.what() << '\n';
      return kPrepRefused;
    } catch (const PrepError& error) {
      err << text::kPrepProgram << error.what() << '\n';
      return kPrepFileError;
    }
  } catch (const Usage& error) {
    err << text::kPrepProgram << error.what() << '\n';
    return kPrepUsage;
  }
}

std::string PrepUsage() {
  return text::PrepUsage(ReadableFormats());
}

}  // namespace qvx::prep
