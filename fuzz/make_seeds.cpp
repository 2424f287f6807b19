// Writes the seed corpora of the fuzz targets: a few good inputs of each and the edges next to
// them, each target's seeds into DIR/<target>.
//
//   make_seeds DIR               the project's own seeds: built here, from the samples in
//                                cli/samples/ and the examples in docs/content-sets.md
//   make_seeds --from FILES DIR  seeds made from real files of other programs (fuzz/make-tool-seeds
//                                makes them with ImageMagick, ffmpeg and Pillow): BMP files become
//                                inputs of the image targets, TOML files content sets, and any
//                                other file a pattern file and a flash file of the wrong size
//
// Each input is named after what it holds; an existing file of the same name is replaced.
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "encode/line_encoder.h"
#include "encode/tone_synthesis.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void Save(const fs::path& dir, const std::string& name, const Bytes& bytes) {
  fs::create_directories(dir);
  std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Text(const std::string& text) {
  return {text.begin(), text.end()};
}

// A 54-byte BMP header: 720 wide, 24 bits, uncompressed, unless told otherwise.
Bytes Header(uint32_t declared, uint32_t height, uint32_t bits = 24, uint32_t compression = 0) {
  return qvx::test::BmpHeader(
      {.declared_size = declared, .height = height, .bits = bits, .compression = compression});
}

// A file in the image targets' compact form (fuzz/image_input.h): length adjustment, head length,
// head, pattern.
Bytes CompactFile(int16_t adjust, const Bytes& head, const Bytes& pattern) {
  Bytes file = {static_cast<uint8_t>(adjust),
                static_cast<uint8_t>(static_cast<uint16_t>(adjust) >> 8),
                static_cast<uint8_t>(head.size())};
  return Cat(Cat(file, head), pattern);
}

// One image file as the image targets take it: plain, or compact.
struct ImageFile {
  std::string name;
  bool compact;
  Bytes bytes;
};

// image_download: operation byte (bits 0-1 picture 1, picture 2, banner, countdown; bits 4-6
// banner number - 1; bit 2 compact), then the file.
Bytes ImageDownloadInput(const ImageFile& file, int operation) {
  return Cat({static_cast<uint8_t>(operation | (file.compact ? 4 : 0))}, file.bytes);
}

// bmp_lines: byte 0 (bit 0 picture, bits 1-4 slot, bit 5 compact), byte 1 the line pairs (1 to 4
// from bits 0-1, all for 0xFF), then the file.
Bytes BmpLinesInput(const ImageFile& file, bool picture, int slot, uint8_t pairs) {
  const auto first = static_cast<uint8_t>((picture ? 1 : 0) | slot << 1 | (file.compact ? 32 : 0));
  return Cat({first, pairs}, file.bytes);
}

// Both image targets' seeds of one file, as a picture and as a banner.
void ImageSeeds(const fs::path& dir, const ImageFile& file, bool whole_banner = false) {
  Save(dir / "image_download", file.name + "-as-picture", ImageDownloadInput(file, 0));
  Save(dir / "image_download", file.name + "-as-banner", ImageDownloadInput(file, 2 | 2 << 4));
  Save(dir / "bmp_lines", file.name + "-as-picture", BmpLinesInput(file, true, 1, 3));
  Save(dir / "bmp_lines", file.name + "-as-banner",
       BmpLinesInput(file, false, 8, whole_banner ? 0xFF : 1));
}

void OwnImageSeeds(const fs::path& dir) {
  const Bytes colours = {0, 0, 255, 255, 255, 255, 16, 128, 200, 0, 255, 0};
  const std::vector<ImageFile> files = {
      {"picture-576", true, CompactFile(0, Header(1244214, 576), colours)},
      {"picture-480", true, CompactFile(0, Header(1036854, 480), {40, 80, 120})},
      {"picture-480-in-576", true, CompactFile(0, Header(1244214, 480), colours)},
      {"picture-576-declared-480", true, CompactFile(0, Header(1036854, 576), {1, 2, 3, 4})},
      {"picture-short", true, CompactFile(-3000, Header(1244214, 576), colours)},
      {"picture-longer", true, CompactFile(5000, Header(1036854, 576), {1, 2, 3, 4})},
      {"banner", true, CompactFile(0, Header(155574, 72), colours)},
      {"banner-black", true, CompactFile(0, Header(155574, 72), {})},
      {"banner-white", true, CompactFile(0, Header(155574, 72), {255})},
      {"banner-32-bit", true, CompactFile(0, Header(155574, 72, 32), colours)},
      {"banner-rle", true, CompactFile(0, Header(155574, 72, 24, 1), colours)},
      {"banner-top-down", true, CompactFile(0, Header(155574, 0xFFFFFFB8), colours)},
      {"banner-one-short", true, CompactFile(-1, Header(155574, 72), colours)},
      {"banner-header-only", false, Header(155574, 72)},
      {"short-bm", false, {'B', 'M', 0x36, 0x1C}},
      {"empty", false, {}},
  };
  for (const ImageFile& file : files)
    ImageSeeds(dir, file, file.name.starts_with("banner"));
  // The sample banner of cli/samples, its header and first rows.
  const Bytes sample = ReadFile(fs::path(QVX_SOURCE_DIR) / "cli/samples/test-banner.bmp");
  if (sample.size() > 54 + 4320) {
    ImageSeeds(dir,
               {"sample-banner", true,
                CompactFile(0, Bytes(sample.begin(), sample.begin() + 54),
                            Bytes(sample.begin() + 54, sample.begin() + 54 + 4320))},
               true);
  }
  // The countdown and the picture 480-in-576 sent whole, for the rows past the declared end.
  Save(dir / "image_download", "countdown",
       ImageDownloadInput({"", true, CompactFile(0, Header(155574, 72), {255, 255, 255})}, 3));
  Save(dir / "bmp_lines", "picture-576-declared-480-whole",
       BmpLinesInput({"", true, CompactFile(0, Header(1036854, 576), {9, 8, 7})}, true, 0, 0xFF));
}

void PatternSeeds(const fs::path& dir) {
  Bytes ramp(2880);
  for (size_t i = 0; i < ramp.size(); ++i)
    ramp[i] = static_cast<uint8_t>(i * 7);
  Save(dir, "exact", ramp);
  Bytes longer = ramp;
  longer.insert(longer.end(), 120, 0xAB);
  Save(dir, "longer", longer);
  Save(dir, "short", Bytes(ramp.begin(), ramp.begin() + 10));
  Save(dir, "empty", {});
  Save(dir, "sample", ReadFile(fs::path(QVX_SOURCE_DIR) / "cli/samples/test-pattern.tst"));
}

void AmplitudeSeeds(const fs::path& dir) {
  const char* texts[] = {"0.0", "-6dB", "  -12.5", "0.001",          "-0",
                         "nan", "-inf", "1e400",   "-1e-320",        "0x-1p3",
                         "abc", "",     "-0.0005", "-123456789.0625"};
  int n = 0;
  for (const char* text : texts) {
    Save(dir, "text-" + std::to_string(n), Cat({static_cast<uint8_t>(n % 4)}, Text(text)));
    ++n;
  }
  Save(dir, "embedded-nul", Cat({1}, Bytes{'-', '3', 0, '5'}));
}

void ParserSeeds(const fs::path& dir) {
  // Status behaviour byte, cut seed byte, then the stream.
  Save(dir, "erase", {2, 0, 0xF0, 0xF4, 0x06, 0x80, 0x00, 0xF6, 0xFD, 0xFD, 0xFD, 0xFF});
  Bytes block = {1, 7, 0xF0, 0xF4, 0x08, 0xE2, 0x70, 0xF8};
  for (int i = 0; i < 1536; ++i)
    block.push_back(i < 1440 ? static_cast<uint8_t>(16 + i % 200) : 0);
  block.push_back(0xFF);
  Save(dir, "block", block);
  Bytes pattern = {0, 3, 0xF0, 0xF4, 0x06, 0x00, 0x00, 0xF6, 0xFD, 0xF9};
  for (int i = 0; i < 2880; ++i)
    pattern.push_back(static_cast<uint8_t>(i));
  pattern.insert(pattern.end(), {0xFD, 0xFE, 0xFF});
  Save(dir, "pattern", pattern);
  Save(dir, "past-the-end", {0, 9, 0xF0, 0xF4, 0xFF, 0xFF, 0xFF, 0xF8, 1, 2, 3, 0xF6, 0xFF});
  Save(dir, "outside-loading-mode", {4, 1, 0xF4, 0x00, 0x20, 0x00, 0xF6, 0xFD, 0x42, 0x00});
  Save(dir, "cut-command", {8, 2, 0xF0, 0xF9, 1, 2, 3});
}

// The argument list as the load_command target takes it: the arguments separated by NUL bytes.
Bytes Arguments(const std::vector<std::string>& args) {
  Bytes input;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0)
      input.push_back(0);
    input.insert(input.end(), args[i].begin(), args[i].end());
  }
  return input;
}

void LoadCommandSeeds(const fs::path& dir) {
  // The usage text's examples, and the edges of each option.
  const std::vector<std::pair<std::string, std::vector<std::string>>> lines = {
      {"banner", {"banner", "1", "station-id.bmp"}},
      {"picture-countdown-pattern",
       {"picture", "2", "bars.bmp", "countdown", "count.bmp", "pattern", "0", "ramp.tst"}},
      {"audio", {"audio", "1000Hz", "-18", "1000Hz", "-18", "Silence", "0", "400Hz", "-20"}},
      {"erase", {"erase", "banner", "8", "erase", "pattern", "15"}},
      {"erase-every-kind",
       {"erase", "picture", "1", "erase", "banner", "1", "erase", "countdown", "erase", "pattern",
        "0"}},
      {"all-units-set", {"--all-units", "--set", "station.toml"}},
      {"units", {"--unit", "QVX00002", "--unit", "QVX00003", "banner", "1", "station-id.bmp"}},
      {"list", {"--list"}},
      {"help", {"--help"}},
      {"h", {"-h"}},
      {"version", {"--version"}},
      {"help-and-more", {"--help", "banner"}},
      {"set-twice", {"--set", "a.toml", "--set", "b.toml"}},
      {"set-and-operation", {"--set", "a.toml", "pattern", "1", "t.tst"}},
      {"units-and-all", {"--unit", "QVX00001", "--all-units", "--set", "a.toml"}},
      {"list-and-unit", {"--list", "--unit", "QVX00001"}},
      {"slot-out-of-range", {"banner", "9", "b.bmp"}},
      {"slot-not-a-number", {"picture", "1x", "p.bmp"}},
      {"unknown-tone", {"audio", "1000Hz", "-18", "1001Hz", "-18", "Silence", "0", "400Hz", "0"}},
      {"missing-file", {"pattern", "3"}},
      {"empty-argument", {""}},
      {"empty", {}},
  };
  for (const auto& [name, args] : lines)
    Save(dir, name, Arguments(args));
}

// The ```toml blocks of a Markdown file.
std::vector<std::string> TomlBlocks(const fs::path& markdown) {
  const Bytes bytes = ReadFile(markdown);
  const std::string text(bytes.begin(), bytes.end());
  std::vector<std::string> blocks;
  const std::regex block("```toml\n([^`]*)```");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), block);
       it != std::sregex_iterator(); ++it)
    blocks.push_back((*it)[1].str());
  return blocks;
}

void ContentSetSeeds(const fs::path& dir) {
  int n = 0;
  for (const std::string& block : TomlBlocks(fs::path(QVX_SOURCE_DIR) / "docs/content-sets.md"))
    Save(dir, "docs-example-" + std::to_string(n++), Text(block));
  Save(dir, "sample-production-line",
       ReadFile(fs::path(QVX_SOURCE_DIR) / "cli/samples/production-line.toml"));
  // The files the target's folder holds, and the problems the documentation lists.
  Save(dir, "pictures", Text("[pictures]\n1 = \"bars.bmp\"\n2 = \"grey.bmp\"\n"));
  Save(dir, "banners-dotted",
       Text("banners.1 = \"station-id.bmp\"\nbanners.countdown = \"count.bmp\"\n"));
  Save(dir, "inline-tables",
       Text("patterns = { 0 = \"ramp.tst\", 15 = \"pluge.tst\" }\nerase = { countdown = true }\n"));
  Save(dir, "audio-text-levels",
       Text("[audio]\ntones = [\"Silence\", \"50Hz\", \"16000Hz\", \"1000Hz\"]\n"
            "levels = [\"0\", \"-6dB\", -0.5, -1e3]\n"));
  Save(dir, "refused",
       Text("[banners]\n1 = \"off-air.bmp\"\n2 = \"short.bmp\"\n3 = \"folder.bmp\"\n"
            "4 = \"absent.bmp\"\n[audio]\ntones = [\"1000Hz\", \"1000Hz\", \"1000Hz\", "
            "\"1000Hz\"]\nlevels = [0.5, 0, 0, \"x\"]\n"));
  Save(dir, "malformed",
       Text("[patterns]\n16 = \"ramp.tst\"\nx = 1\n[erase]\npatterns = [0, 0, \"1\"]\n"
            "banners = 3\n[pictures]\n1 = 5\n[other]\n"));
  Save(dir, "twice", Text("[banners]\n1 = \"count.bmp\"\n[erase]\nbanners = [1]\n"));
  Save(dir, "no-slot", Text("# nothing\n"));
  Save(dir, "syntax-error", Text("[banners\n1 = \"x\"\n"));
  Save(dir, "multi-line-names",
       Text("[patterns]\n0 = \"\"\"\\\n    ramp.tst\"\"\"\n1 = '''pluge.tst'''\n"));
}

// The usb_reader target's operations (see its first comment).
Bytes Transfer(const Bytes& packet_bytes) {
  Bytes op = {static_cast<uint8_t>(8 * (packet_bytes.size() / 256)),
              static_cast<uint8_t>(packet_bytes.size() % 256)};
  return Cat(op, packet_bytes);
}

// `payload` framed as the chip frames it: 62 bytes a packet after the two status bytes.
Bytes Packets(const Bytes& payload) {
  Bytes framed;
  for (size_t at = 0; at < payload.size() || at == 0; at += 62) {
    framed.insert(framed.end(), {0x01, 0x60});
    framed.insert(framed.end(), payload.begin() + static_cast<long>(std::min(at, payload.size())),
                  payload.begin() + static_cast<long>(std::min(at + 62, payload.size())));
    if (payload.empty())
      break;
  }
  return framed;
}

void UsbReaderSeeds(const fs::path& dir) {
  const uint8_t kRead = 3, kReadOne = 4, kQueue = 5, kPurge = 6, kFail = 7, kReset = 15;
  Bytes ramp(300);
  for (size_t i = 0; i < ramp.size(); ++i)
    ramp[i] = static_cast<uint8_t>(i);
  // A status poll's answer, as the generator gives it.
  Save(dir, "status-answer", Cat(Transfer(Packets({1})), {kQueue, kReadOne}));
  Save(dir, "idle-then-answer",
       Cat(Cat(Transfer(Packets({})), Transfer(Packets({0}))), {kQueue, kReadOne, kReadOne}));
  Save(dir, "several-packets", Cat(Transfer(Packets(ramp)), {kRead, 200, kRead, 200}));
  Save(dir, "short-read",
       Cat(Transfer(Packets(Bytes(ramp.begin(), ramp.begin() + 5))), {kRead, 10, kRead, 0}));
  Save(dir, "split-across-transfers",
       Cat(Cat(Transfer(Packets(Bytes(ramp.begin(), ramp.begin() + 70))),
               Transfer(Packets(Bytes(ramp.begin() + 70, ramp.end())))),
           {kRead, 255, kRead, 100}));
  Save(dir, "purge",
       Cat(Cat(Transfer(Packets(ramp)), {kReadOne, kPurge}),
           Cat(Transfer(Packets({7})), {kReadOne})));
  Save(dir, "usb-error",
       Cat(Cat(Transfer(Packets({1, 2, 3})), {kFail, kRead, 9}),
           Cat(Transfer(Packets({4})), {kReadOne})));
  Save(dir, "reset", Cat(Transfer(Packets(ramp)), {kQueue, kReset, kReadOne}));
  Save(dir, "odd-packets", Cat(Transfer({0x01, 0x60, 9, 0x01}), {kRead, 4}));
  Bytes big = Transfer(Packets(Bytes(4000, 0x5A)));
  Save(dir, "big-transfer", Cat(big, {static_cast<uint8_t>(kRead | 8), 255}));
}

// The flash targets' patches: offset from the slot's start, length, bytes.
Bytes Patch(uint32_t offset, const Bytes& bytes) {
  Bytes patch = {static_cast<uint8_t>(offset), static_cast<uint8_t>(offset >> 8),
                 static_cast<uint8_t>(offset >> 16), static_cast<uint8_t>(bytes.size())};
  return Cat(patch, bytes);
}

void FlashSeeds(const fs::path& viewer, const fs::path& tool) {
  // A line of the sample banner as the download stores it, in 240-byte patches.
  const Bytes sample = ReadFile(fs::path(QVX_SOURCE_DIR) / "cli/samples/test-banner.bmp");
  Bytes stored_line;
  if (sample.size() >= 54 + qvx::kBmpRowSize) {
    qvx::BmpLine row{};
    std::copy_n(sample.begin() + 54, row.size(), row.begin());
    qvx::LineBuffer encoded{};
    qvx::EncodeLine(row, encoded);
    stored_line.assign(encoded.begin(), encoded.begin() + qvx::kEncodedLineSize);
  }
  Bytes line_patches;
  for (uint32_t at = 0; at + 240 <= stored_line.size(); at += 240)
    line_patches = Cat(line_patches,
                       Patch(at, Bytes(stored_line.begin() + at, stored_line.begin() + at + 240)));
  // The first frames of a 1 kHz tone on channel 1, as the audio download stores them.
  std::array<qvx::ChannelWords, qvx::kAudioChannels> channels{};
  for (int ch = 0; ch < qvx::kAudioChannels; ++ch)
    qvx::SynthesizeChannel(ch + 1, {ch == 0 ? qvx::TonePeriod(12) : 0.0f, 0.125}, channels[ch]);
  qvx::AudioBlock block{};
  qvx::PackAudioBlocks(channels, 0, block);
  const Bytes frames(block.begin(), block.begin() + 240);
  const Bytes pattern = ReadFile(fs::path(QVX_SOURCE_DIR) / "cli/samples/test-pattern.tst");
  const Bytes pattern_front(pattern.begin(),
                            pattern.begin() + std::min<size_t>(pattern.size(), 200));
  const Bytes in_range = {16, 128, 235, 16, 17, 234};
  const Bytes out_of_range = {0, 15, 236, 255, 254, 1};

  // Slot bytes: 2 banner 1, 10 the countdown, 11 pattern 0, 27 the audio loop.
  for (uint8_t what = 0; what < 4; ++what) {
    const std::string w = "-" + std::to_string(what);
    Save(viewer, "erased-banner" + w, {what, 2});
    Save(viewer, "banner-line" + w, Cat({what, 2}, line_patches));
    Save(viewer, "countdown-bytes" + w,
         Cat({what, 10}, Cat(Patch(0, in_range), Patch(1440 * 3 + 7, out_of_range))));
    Save(viewer, "pattern" + w, Cat({what, 11}, Patch(0, pattern_front)));
    Save(viewer, "audio" + w, Cat({what, 27}, Patch(0, frames)));
  }
  Save(tool, "info-banner-line", Cat({0, 2}, line_patches));
  Save(tool, "info-erased", {0, 0});
  Save(tool, "picture-png", Cat({1 | 8, 0}, Patch(0, in_range)));
  Save(tool, "banner-decoded", Cat({1, 2}, line_patches));
  Save(tool, "audio-wav", Cat({2 | 8, 27}, Patch(0, frames)));
  Save(tool, "audio-decoded", Cat({2, 27}, Patch(0, frames)));
  // The tool on files: the image whole, one byte short, and longer; commands from bits 4-6.
  Save(tool, "run-info", Cat({3 | 0 << 4, 2}, line_patches));
  Save(tool, "run-banner", Cat({3 | 2 << 4, 0}, line_patches));
  Save(tool, "run-pattern", Cat({3 | 4 << 4, 0}, Patch(0, pattern_front)));
  Save(tool, "run-audio", Cat({3 | 3 << 4, 27}, Patch(0, frames)));
  Save(tool, "run-short", Cat({3 | 4, 0}, Bytes{0xFF, 0, 0, 0}));
  Save(tool, "run-longer", Cat({3 | 4, 0}, Bytes{0x01, 0, 0, 0}));
  Save(tool, "run-small-file", Cat({3 | 8, 0}, Text("not a flash image")));
  Save(tool, "run-empty-file", {3 | 8, 0});
}

void OwnSeeds(const fs::path& dir) {
  OwnImageSeeds(dir);
  PatternSeeds(dir / "pattern_download");
  AmplitudeSeeds(dir / "amplitude_text");
  ParserSeeds(dir / "virtual_generator_parser");
  LoadCommandSeeds(dir / "load_command");
  ContentSetSeeds(dir / "content_set");
  UsbReaderSeeds(dir / "usb_reader");
  FlashSeeds(dir / "flash_viewer", dir / "flash_tool");
}

uint32_t Le32(const Bytes& b, size_t at) {
  return at + 4 <= b.size() ? uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 |
                                  uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24
                            : 0;
}

// Seeds from the real files in `from`, named "tool-<file name>".
void SeedsFromFiles(const fs::path& from, const fs::path& dir) {
  for (const auto& entry : fs::directory_iterator(from)) {
    if (!entry.is_regular_file())
      continue;
    const Bytes file = ReadFile(entry.path());
    const std::string name = "tool-" + entry.path().filename().string();
    const std::string extension = entry.path().extension().string();
    if (extension == ".toml") {
      Save(dir / "content_set", name, file);
      continue;
    }
    if (extension == ".bmp") {
      // Small files whole; large ones compact: the header up to the pixels, two rows of them.
      if (file.size() <= 3000) {
        ImageSeeds(dir, {name, false, file});
      } else {
        const size_t offset = Le32(file, 10);
        const size_t head = offset >= 14 && offset <= 255 ? offset : 54;
        const size_t rows = std::min<size_t>(file.size() - head, 2 * qvx::kBmpRowSize);
        ImageSeeds(dir, {name, true,
                         CompactFile(0, Bytes(file.begin(), file.begin() + static_cast<long>(head)),
                                     Bytes(file.begin() + static_cast<long>(head),
                                           file.begin() + static_cast<long>(head + rows)))});
      }
    }
    if (extension == ".bmp")
      continue;
    // Any other file as a pattern file, and as a flash file of the wrong size.
    const Bytes front(file.begin(),
                      file.begin() + static_cast<long>(std::min<size_t>(file.size(), 4000)));
    Save(dir / "pattern_download", name, front);
    Save(dir / "flash_tool", name,
         Cat({3 | 8, 0}, Bytes(front.begin(), front.begin() + std::min<long>(front.size(), 2000))));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2) {
    OwnSeeds(argv[1]);
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "--from") {
    SeedsFromFiles(argv[2], argv[3]);
    return 0;
  }
  std::fprintf(stderr, "usage: %s DIR\n       %s --from FILES DIR\n", argv[0], argv[0]);
  return 2;
}
