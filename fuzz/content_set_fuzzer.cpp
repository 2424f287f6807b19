// Content sets on arbitrary text: the input is the set file's text, its file names relative to a
// folder that holds the files the examples of docs/content-sets.md and cli/samples/ name (good
// pictures, banners and patterns, and a picture where a banner belongs).
//
// Invariants: reading ends in a ContentSetError or in a checked set, never anything else.
// - An error lists its problems, the first one as its message, each naming its key: a key path
//   ("pictures.1", "erase.banners[0]", "audio.levels[2]") of which every part is in the file,
//   except perhaps a last one that is missing; or, for text that is no TOML, the line and column,
//   within the text; or the one problem that the set names no slot.
// - A checked set is not empty, in the documented order (pictures, banners, the countdown,
//   patterns, the audio loop), each slot once and of its kind; a load step names a file that
//   opens and, for images, has a header the slot takes (checked here with the flash model's own
//   header rules), an erase step names none, the audio loop's four rows are in the frequency list
//   and its levels are accepted; the request each step makes is for its slot.
#include <toml++/toml.h>

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "content/content_set.h"
#include "encode/amplitude.h"
#include "fuzz/operation_host.h"
#include "tests/support/content_model.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using qvx::SlotKind;
using qvx::content::LoadStep;
using qvx::fuzz::Require;

void Save(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  Require(static_cast<bool>(out), "a file of the set's folder can be written");
}

// The folder the sets are read from, with the files they may name.
const fs::path& Folder() {
  static const fs::path folder = [] {
    const fs::path made = qvx::fuzz::ScratchPath("set");
    fs::create_directories(made);
    const auto picture = qvx::test::BmpHeader({.declared_size = 1244214, .height = 576});
    const auto short_picture = qvx::test::BmpHeader({.declared_size = 1036854, .height = 480});
    const auto banner = qvx::test::BmpHeader({.declared_size = 155574, .height = 72});
    auto sized = [](std::vector<uint8_t> header, size_t size) {
      header.resize(size);
      return header;
    };
    Save(made / "bars.bmp", sized(picture, 1244214));
    Save(made / "grey.bmp", sized(short_picture, 1036854));
    Save(made / "station-id.bmp", sized(banner, 155574));
    Save(made / "count.bmp", sized(banner, 155574));
    Save(made / "test-banner.bmp", sized(banner, 155574));
    Save(made / "off-air.bmp", sized(picture, 1244214));  // a picture where a banner belongs
    Save(made / "short.bmp", sized(banner, 1000));        // shorter than it declares
    Save(made / "ramp.tst", std::vector<uint8_t>(2880, 0x40));
    Save(made / "pluge.tst", std::vector<uint8_t>(100, 0x10));
    Save(made / "test-pattern.tst", std::vector<uint8_t>(2880, 0x80));
    fs::create_directories(made / "folder.bmp");
    return made;
  }();
  return folder;
}

// Whether `path` names a node below `node`: every part present, but perhaps a missing last one.
bool Names(const toml::node& node, std::string_view path) {
  if (path.empty())
    return true;
  const bool last = path.find_first_of(".[") == std::string_view::npos;
  if (path.front() == '[') {
    const size_t close = path.find(']');
    if (close == std::string_view::npos)
      return false;
    size_t index = 0;
    const auto [end, error] = std::from_chars(path.data() + 1, path.data() + close, index);
    if (error != std::errc() || end != path.data() + close)
      return false;
    const toml::array* array = node.as_array();
    if (array == nullptr)
      return false;
    const std::string_view rest = path.substr(close + 1);
    if (index >= array->size())
      return rest.empty();
    return Names(*array->get(index), rest.starts_with('.') ? rest.substr(1) : rest);
  }
  const toml::table* table = node.as_table();
  if (table == nullptr)
    return false;
  for (const auto& [key, child] : *table) {
    const std::string name = qvx::content::KeyText(key.str());
    if (!path.starts_with(name))
      continue;
    std::string_view rest = path.substr(name.size());
    if (!rest.empty() && rest.front() != '.' && rest.front() != '[')
      continue;
    if (Names(child, rest.starts_with('.') ? rest.substr(1) : rest))
      return true;
  }
  return last;
}

// A key as problems write it reads back, as TOML, as that key: a quoted key cannot be taken for
// a path of keys.
void CheckKeyText(const toml::key& key) {
  const std::string text = qvx::content::KeyText(key.str());
  if (text == key.str())
    return;
  const toml::table read = toml::parse(text + " = 0");
  Require(read.size() == 1 && read.begin()->first.str() == key.str(),
          "a key that is not bare is quoted so that it reads back as itself");
}

// Whether the problem starts with a key of the file (as problems write it), then ": ".
bool NamesItsKey(const toml::table& root, const std::string& problem) {
  for (size_t colon = problem.find(": "); colon != std::string::npos;
       colon = problem.find(": ", colon + 1)) {
    const std::string_view key(problem.data(), colon);
    // The key's first part must be in the file itself.
    bool rooted = false;
    for (const auto& [name, child] : root) {
      const std::string part = qvx::content::KeyText(name.str());
      if (key.starts_with(part) &&
          (key.size() == part.size() || key[part.size()] == '.' || key[part.size()] == '['))
        rooted = true;
    }
    if (rooted && Names(root, key))
      return true;
  }
  return false;
}

// "line L, column C: ..." with the place inside the text.
bool NamesItsPlace(const std::string& problem, std::string_view text) {
  unsigned line = 0;
  unsigned column = 0;
  if (std::sscanf(problem.c_str(), "line %u, column %u: ", &line, &column) != 2)
    return false;
  const auto lines = static_cast<unsigned>(std::count(text.begin(), text.end(), '\n')) + 1;
  return line >= 1 && line <= lines && column >= 1 && problem.find(": ") != std::string::npos;
}

// Where a step stands in the documented order.
int OrderOf(const LoadStep& step) {
  switch (step.kind()) {
    case SlotKind::kPicture:
      return step.request.slot.number() - 1;
    case SlotKind::kBanner:
      return 2 + step.request.slot.number() - 1;
    case SlotKind::kCountdown:
      return 10;
    case SlotKind::kPattern:
      return 11 + step.request.slot.number();
    case SlotKind::kAudio:
      break;
  }
  return 27;
}

// The file's whole content as the model reads it.
qvx::test::FileImage ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(qvx::kBmpHeaderSize);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  std::error_code error;
  const auto size = fs::file_size(path, error);
  return {bytes, error ? 0 : size};
}

// What the flash model makes of a file: whether it opens, and whether its header and length suit
// a picture or a banner. The folder's files are judged once.
struct Verdict {
  bool opens;
  bool picture;
  bool banner;
};

Verdict Judge(const std::string& path) {
  static std::map<std::string, Verdict> folder;
  if (const auto found = folder.find(path); found != folder.end())
    return found->second;
  std::error_code error;
  const bool opens = !path.empty() && fs::is_regular_file(path, error);
  const qvx::test::FileImage file = opens ? ReadWhole(path) : qvx::test::FileImage{};
  const Verdict verdict{opens, qvx::test::ImageAcceptable(file, true),
                        qvx::test::ImageAcceptable(file, false)};
  if (fs::path(path).parent_path() == Folder())
    folder.emplace(path, verdict);
  return verdict;
}

void CheckStep(const LoadStep& step) {
  const qvx::DownloadRequest request = step.request;
  if (step.kind() == SlotKind::kAudio) {
    Require(!step.erase && step.file.empty(), "the audio loop loads, from no file");
    for (size_t ch = 0; ch < step.request.audio.tone_rows.size(); ++ch) {
      Require(step.request.audio.tone_rows[ch] >= 0 &&
                  static_cast<size_t>(step.request.audio.tone_rows[ch]) < qvx::ToneTable.size(),
              "the audio loop's tones are in the frequency list");
      Require(qvx::ParseAmplitude(step.request.audio.amplitudes[ch]).accepted,
              "the audio loop's levels are accepted");
    }
    Require(request.slot.kind() == SlotKind::kAudio &&
                request.audio.tone_rows == step.request.audio.tone_rows &&
                request.audio.amplitudes == step.request.audio.amplitudes,
            "the audio request carries the set's tones and levels");
    return;
  }
  Require(step.kind() == SlotKind::kCountdown
              ? step.request.slot.number() == qvx::Slot::Countdown().number()
              : qvx::Slot::FromNumber(step.kind(), step.request.slot.number()).has_value(),
          "a step names a slot of its kind");
  Require(request.slot.kind() == step.kind() && request.slot.number() == step.request.slot.number(),
          "the request is for the step's slot");
  if (step.erase) {
    Require(step.file.empty(), "an erase names no file");
    return;
  }
  const Verdict verdict = Judge(step.file);
  Require(verdict.opens, "a load step names a file that opens");
  Require(step.kind() == SlotKind::kPattern ||
              (step.kind() == SlotKind::kPicture ? verdict.picture : verdict.banner),
          "an image step's file has a header its slot takes (the flash model's header rules)");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = Folder().string();
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  std::vector<LoadStep> steps;
  try {
    steps = qvx::content::ReadContentSetText(text, folder).steps;
  } catch (const qvx::content::ContentSetError& error) {
    const auto& problems = error.problems();
    Require(!problems.empty(), "an error lists its problems");
    Require(problems.front() == error.what(), "the error's message is its first problem");
    // Text that is no TOML: one problem, its place. (A key that reads like a place is a key of
    // a document that parses, and meets the same check.)
    if (error.malformed() && problems.size() == 1 && NamesItsPlace(problems.front(), text))
      return 0;
    if (problems.size() == 1 && problems.front() == "the set names no slot to load or erase") {
      Require(error.malformed(), "a set without slots is malformed");
      return 0;
    }
    // Any other problem is about a document that is TOML, and names one of its keys.
    toml::table root;
    try {
      root = toml::parse(text);
    } catch (const toml::parse_error&) {
      Require(false, "a set that is no TOML is refused with the place of its syntax error");
    }
    for (const auto& [key, node] : root)
      CheckKeyText(key);
    for (const std::string& problem : problems)
      Require(NamesItsKey(root, problem), "every problem names its key");
    return 0;
  }

  Require(!steps.empty(), "a checked set names at least one slot");
  for (size_t i = 0; i < steps.size(); ++i) {
    CheckStep(steps[i]);
    Require(i == 0 || OrderOf(steps[i - 1]) < OrderOf(steps[i]),
            "the steps run in the documented order, each slot once");
  }
  return 0;
}
