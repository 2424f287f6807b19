#include "tests/soak/soak_cases.h"

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "tests/support/test_files.h"

namespace qvx::soak {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kHugeBytes = uint64_t{1} << 30;
constexpr uint32_t kPictureBytes = 1244214;
constexpr uint32_t kShortPictureBytes = 1036854;
constexpr uint32_t kBannerBytes = 155574;
constexpr size_t kRow = 2160;

template <typename T>
T Uniform(Rng& rng, T low, T high) {
  return std::uniform_int_distribution<T>(low, high)(rng);
}

// The file size a BMP header declares; 0 for a file too short to hold it.
uint32_t Declared(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 6)
    return 0;
  return uint32_t{bytes[2]} | uint32_t{bytes[3]} << 8 | uint32_t{bytes[4]} << 16 |
         uint32_t{bytes[5]} << 24;
}

std::vector<uint8_t> RandomBytes(size_t count, Rng& rng) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; i += 8) {
    const uint64_t word = rng();
    for (size_t j = 0; j < 8 && i + j < count; ++j)
      bytes[i + j] = static_cast<uint8_t>(word >> (8 * j));
  }
  return bytes;
}

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A good image file of the operation's kind: pictures come as 576 rows, as 480 rows declaring
// their own size (the reads past the end repeat the last row), or as 480 rows in a file that
// declares and holds 576 rows' worth.
std::vector<uint8_t> GoodImage(bool picture, Rng& rng) {
  if (!picture)
    return RandomBmp(72, kBannerBytes, 72, rng);
  switch (Uniform(rng, 0, 2)) {
    case 0:
      return RandomBmp(576, kPictureBytes, 576, rng);
    case 1:
      return RandomBmp(480, kShortPictureBytes, 480, rng);
    default:
      return RandomBmp(480, kPictureBytes, 576, rng);
  }
}

// A path that names no regular file when the operation opens it.
std::string Unopenable(const std::string& base, Rng& rng) {
  std::error_code ignored;
  switch (Uniform(rng, 0, 4)) {
    case 0:
      return base + ".missing";
    case 1:
      fs::create_directory(base, ignored);
      return base;
    case 2:
      return "/dev/null";
    case 3:
      fs::create_symlink(base + ".nowhere", base, ignored);
      return base;
    default:
      fs::create_symlink(base, base, ignored);  // a link to itself
      return base;
  }
}

}  // namespace

const char* OpName(Op op) {
  switch (op) {
    case Op::kPicture:
      return "picture";
    case Op::kBanner:
      return "banner";
    case Op::kCountdown:
      return "countdown";
    case Op::kPattern:
      return "pattern";
    case Op::kAudio:
      return "audio";
  }
  return "?";
}

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::kNone:
      return "good input";
    case Fault::kCancel:
      return "dialog cancelled";
    case Fault::kCannotOpen:
      return "cannot be opened";
    case Fault::kVanishes:
      return "vanishes before the open";
    case Fault::kEmpty:
      return "empty file";
    case Fault::kJunk:
      return "random bytes";
    case Fault::kTruncated:
      return "shorter than declared";
    case Fault::kShrinksBeforeRead:
      return "shrinks before the open";
    case Fault::kWrongKind:
      return "wrong kind of image";
    case Fault::kHuge:
      return "1 GiB sparse file";
    case Fault::kShrinksDuringTransfer:
      return "shrinks during the transfer";
    case Fault::kUnplug:
      return "unplugged after N bytes";
    case Fault::kNeverReady:
      return "status never ready";
    case Fault::kNoStatusAnswer:
      return "status never answered";
    case Fault::kRefusedAmplitude:
      return "amplitude refused";
    case Fault::kAbsent:
      return "generator absent";
  }
  return "?";
}

std::vector<Case> Round() {
  struct Entry {
    Op op;
    Fault fault;
    int count;
  };
  static constexpr Entry kEntries[] = {
      {Op::kPicture, Fault::kNone, 3},
      {Op::kPicture, Fault::kCancel, 1},
      {Op::kPicture, Fault::kCannotOpen, 1},
      {Op::kPicture, Fault::kVanishes, 1},
      {Op::kPicture, Fault::kEmpty, 1},
      {Op::kPicture, Fault::kJunk, 1},
      {Op::kPicture, Fault::kTruncated, 2},
      {Op::kPicture, Fault::kShrinksBeforeRead, 1},
      {Op::kPicture, Fault::kWrongKind, 1},
      {Op::kPicture, Fault::kHuge, 1},
      {Op::kPicture, Fault::kShrinksDuringTransfer, 2},
      {Op::kPicture, Fault::kUnplug, 3},
      {Op::kPicture, Fault::kNeverReady, 1},
      {Op::kPicture, Fault::kAbsent, 1},
      {Op::kBanner, Fault::kNone, 4},
      {Op::kBanner, Fault::kCancel, 1},
      {Op::kBanner, Fault::kCannotOpen, 2},
      {Op::kBanner, Fault::kVanishes, 1},
      {Op::kBanner, Fault::kEmpty, 1},
      {Op::kBanner, Fault::kJunk, 2},
      {Op::kBanner, Fault::kTruncated, 2},
      {Op::kBanner, Fault::kShrinksBeforeRead, 1},
      {Op::kBanner, Fault::kWrongKind, 1},
      {Op::kBanner, Fault::kHuge, 1},
      {Op::kBanner, Fault::kShrinksDuringTransfer, 2},
      {Op::kBanner, Fault::kUnplug, 4},
      {Op::kBanner, Fault::kNeverReady, 1},
      {Op::kBanner, Fault::kNoStatusAnswer, 1},
      {Op::kBanner, Fault::kAbsent, 1},
      {Op::kCountdown, Fault::kNone, 2},
      {Op::kCountdown, Fault::kCancel, 1},
      {Op::kCountdown, Fault::kJunk, 1},
      {Op::kCountdown, Fault::kTruncated, 1},
      {Op::kCountdown, Fault::kShrinksDuringTransfer, 1},
      {Op::kCountdown, Fault::kUnplug, 2},
      {Op::kCountdown, Fault::kNeverReady, 1},
      {Op::kCountdown, Fault::kAbsent, 1},
      {Op::kPattern, Fault::kNone, 5},
      {Op::kPattern, Fault::kCancel, 1},
      {Op::kPattern, Fault::kCannotOpen, 2},
      {Op::kPattern, Fault::kVanishes, 1},
      {Op::kPattern, Fault::kEmpty, 1},
      {Op::kPattern, Fault::kHuge, 1},
      {Op::kPattern, Fault::kShrinksBeforeRead, 2},
      {Op::kPattern, Fault::kUnplug, 4},
      {Op::kPattern, Fault::kNeverReady, 1},
      {Op::kPattern, Fault::kNoStatusAnswer, 1},
      {Op::kPattern, Fault::kAbsent, 1},
      {Op::kAudio, Fault::kNone, 4},
      {Op::kAudio, Fault::kRefusedAmplitude, 4},
      {Op::kAudio, Fault::kUnplug, 4},
      {Op::kAudio, Fault::kNeverReady, 1},
      {Op::kAudio, Fault::kAbsent, 1},
  };
  std::vector<Case> cases;
  for (const Entry& e : kEntries) {
    for (int i = 0; i < e.count; ++i)
      cases.push_back({e.op, e.fault});
  }
  return cases;
}

std::vector<uint8_t> RandomBmp(int height, uint32_t declared, int rows, Rng& rng) {
  std::vector<uint8_t> bmp = RandomBytes(54 + kRow * static_cast<size_t>(rows), rng);
  const auto header =
      test::BmpHeader({.declared_size = declared, .height = static_cast<uint32_t>(height)});
  std::copy(header.begin(), header.end(), bmp.begin());
  return bmp;
}

namespace {

// The answer for the classes that leave no readable file at the open (cancel, unopenable, gone
// by the open), or nullopt for the others; `content` makes what a vanishing file held.
std::optional<PreparedFile> Unreadable(Fault fault, const std::string& path, Rng& rng,
                                       const std::function<std::vector<uint8_t>()>& content) {
  PreparedFile file;
  file.opens = false;
  switch (fault) {
    case Fault::kCancel:
      return file;
    case Fault::kCannotOpen:
      file.answer = Unopenable(path, rng);
      return file;
    case Fault::kVanishes:
      file.answer = path;
      Write(path, content());
      file.after_dialog = [path] { fs::remove(path); };
      return file;
    default:
      return std::nullopt;
  }
}

// `bytes` written to `path`, then cut to a random length between the dialog and the open.
PreparedFile ShrinksBeforeRead(const std::string& path, std::vector<uint8_t> bytes, Rng& rng) {
  const uint64_t cut = Uniform<uint64_t>(rng, 0, bytes.size() - 1);
  Write(path, bytes);
  bytes.resize(cut);
  PreparedFile file;
  file.answer = path;
  file.after_dialog = [path, cut] { fs::resize_file(path, cut); };
  file.at_read = test::FileImage::Whole(std::move(bytes));
  return file;
}

// A file of `size` bytes at `path`: `prefix`, then a sparse hole.
PreparedFile Sparse(const std::string& path, std::vector<uint8_t> prefix, uint64_t size) {
  Write(path, prefix);
  fs::resize_file(path, size);
  PreparedFile file;
  file.answer = path;
  file.at_read.size = size;
  file.at_read.prefix = std::move(prefix);
  return file;
}

}  // namespace

PreparedFile PrepareImageFile(Fault fault, bool picture, const std::string& dir, int index,
                              Rng& rng) {
  const std::string path = dir + "/case" + std::to_string(index) + ".bmp";
  if (auto unreadable = Unreadable(fault, path, rng, [&] { return GoodImage(picture, rng); }))
    return *unreadable;
  PreparedFile file;
  file.answer = path;
  std::vector<uint8_t> bytes;
  switch (fault) {
    case Fault::kCancel:
    case Fault::kCannotOpen:
    case Fault::kVanishes:
    case Fault::kEmpty:
      break;
    case Fault::kJunk:
      bytes = RandomBytes(Uniform<size_t>(rng, 1, 3000), rng);
      if (Uniform(rng, 0, 1) == 0) {
        bytes[0] = 'B';
        if (bytes.size() > 1)
          bytes[1] = 'M';
      }
      break;
    case Fault::kTruncated: {
      bytes = GoodImage(picture, rng);
      const uint32_t declared = Declared(bytes);
      // Half the time shorter than a header, else anywhere short of the declared end.
      const size_t cut = Uniform(rng, 0, 1) == 0 ? Uniform<size_t>(rng, 0, 53)
                                                 : Uniform<size_t>(rng, 54, declared - 1);
      bytes.resize(std::min(cut, bytes.size()));
      break;
    }
    case Fault::kShrinksBeforeRead:
      return ShrinksBeforeRead(path, GoodImage(picture, rng), rng);
    case Fault::kWrongKind:
      // Only the header and a few rows are real; the rest of a picture-sized file is sparse.
      bytes = picture ? RandomBmp(72, kBannerBytes, 72, rng)
                      : RandomBmp(576, kPictureBytes, Uniform(rng, 0, 4), rng);
      if (!picture)
        return Sparse(path, std::move(bytes), kPictureBytes);
      break;
    case Fault::kHuge:
      return Sparse(path,
                    picture ? RandomBmp(576, kPictureBytes, Uniform(rng, 0, 20), rng)
                            : RandomBmp(72, kBannerBytes, Uniform(rng, 0, 20), rng),
                    kHugeBytes);
    case Fault::kShrinksDuringTransfer:
    case Fault::kUnplug:
    case Fault::kNeverReady:
    case Fault::kNoStatusAnswer:
    case Fault::kAbsent:
    case Fault::kNone:
    case Fault::kRefusedAmplitude:
      bytes = GoodImage(picture, rng);
      break;
  }
  file.declared_end = Declared(bytes);
  Write(path, bytes);
  file.at_read = test::FileImage::Whole(std::move(bytes));
  return file;
}

PreparedFile PreparePatternFile(Fault fault, const std::string& dir, int index, Rng& rng) {
  const std::string path = dir + "/case" + std::to_string(index) + ".tst";
  // Exactly one pattern's worth a third of the time, else shorter or longer.
  auto length = [&rng] {
    return Uniform(rng, 0, 2) == 0 ? size_t{2880} : Uniform<size_t>(rng, 1, 6000);
  };
  if (auto unreadable = Unreadable(fault, path, rng, [&] { return RandomBytes(length(), rng); }))
    return *unreadable;
  PreparedFile file;
  file.answer = path;
  std::vector<uint8_t> bytes;
  switch (fault) {
    case Fault::kEmpty:
      break;
    case Fault::kHuge:
      return Sparse(path, RandomBytes(Uniform<size_t>(rng, 0, 4000), rng), kHugeBytes);
    case Fault::kShrinksBeforeRead:
      return ShrinksBeforeRead(path, RandomBytes(length(), rng), rng);
    default:
      bytes = RandomBytes(length(), rng);
      break;
  }
  Write(path, bytes);
  file.at_read = test::FileImage::Whole(std::move(bytes));
  return file;
}

std::string AcceptedAmplitude(Rng& rng) {
  static const std::array<const char*, 16> kTexts = {
      "",    "0",    "0.0",  "-0",      "-6",       "-6dB",    "  -12.5", "-1e2",
      "abc", "-inf", "-200", "-0.0004", "-3.14159", "-1e-320", "-99999",  "\t-0.5x"};
  if (Uniform(rng, 0, 2) == 0) {
    return "-" + std::to_string(Uniform(rng, 0, 120)) + "." + std::to_string(Uniform(rng, 0, 999));
  }
  return kTexts[Uniform<size_t>(rng, 0, kTexts.size() - 1)];
}

std::string RefusedAmplitude(Rng& rng) {
  static const std::array<const char*, 11> kTexts = {
      "0.001", "3", "nan", "+1", "1e-300", "inf", "12dB", "  +0.5", "-nan", "0x1p-3", "1e400"};
  return kTexts[Uniform<size_t>(rng, 0, kTexts.size() - 1)];
}

}  // namespace qvx::soak
