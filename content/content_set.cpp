// Reading and checking a content set with toml++.
#include "content/content_set.h"

#include <toml++/toml.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <vector>

#include "content/file_facts.h"
#include "content/texts.h"
#include "download/amplitude_check.h"
#include "download/kinds/image_kind.h"
#include "download/kinds/slot.h"
#include "station/operation.h"

namespace qvx::content {
namespace {

namespace fs = std::filesystem;

// The step that stands for a slot, with the key that named it.
struct PlannedStep {
  std::string key;
  LoadStep step;
};

class SetReader {
 public:
  explicit SetReader(fs::path folder) : folder_(std::move(folder)) {}

  void Read(const toml::table& root) {
    for (const auto& [key, node] : root) {
      const std::string name(key.str());
      if (const SlotKindInfo* table = FindTable(name)) {
        ReadFiles(*table, node);
      } else if (name == "audio") {
        ReadAudio(node);
      } else if (name == "erase") {
        ReadErase(node);
      } else if (name == "record") {
        ReadRecord(node);
      } else if (name == "retries") {
        ReadRetries(node);
      } else {
        Malformed(KeyText(name), text::kSetUnknownKey);
      }
    }
  }

  // The steps in the documented order, erases and loads interleaved by slot.
  std::vector<PlannedStep> Ordered() {
    std::vector<PlannedStep> ordered;
    for (const SlotKindInfo& info : kSlotKinds) {
      for (int row = 0; row < info.count; ++row) {
        const auto found = planned_.find({info.kind, row});
        if (found != planned_.end())
          ordered.push_back(found->second);
      }
    }
    return ordered;
  }

  std::vector<std::string>& problems() { return problems_; }
  const std::string& record_file() const { return record_file_; }
  std::optional<int> retries() const { return retries_; }

 private:
  // The kind whose table of files and erase list `name` is; only kinds with a set key have them.
  static const SlotKindInfo* FindTable(const std::string& name) {
    for (const SlotKindInfo& info : kSlotKinds) {
      if (!info.set_key.empty() && name == info.set_key)
        return &info;
    }
    return nullptr;
  }

  void Malformed(const std::string& key, const std::string& text) {
    problems_.push_back(key + ": " + text);
  }

  // The slot a key names in `table`, or nothing (with its problem) when it names none.
  std::optional<qvx::Slot> SlotOf(const SlotKindInfo& table, const std::string& key,
                                  const std::string& typed) {
    const auto slot = qvx::Slot::InSetTable(table.kind, typed);
    if (!slot) {
      Malformed(key, text::SetNoSuchSlot(table.first_number, table.last_number()));
    }
    return slot;
  }

  void Plan(const std::string& key, LoadStep step) {
    const auto [it, added] =
        planned_.try_emplace({step.kind(), step.request.slot.row()}, PlannedStep{key, step});
    if (!added)
      Malformed(key, text::SetNamedTwice(it->second.key));
  }

  // A file name relative to the set's folder.
  std::string Resolve(const std::string& file) const {
    const fs::path path(file);
    return path.is_absolute() ? file : (folder_ / path).string();
  }

  // An entry's file: "file.bmp", or { file = "file.bmp", sha256 = "..." } to pin it to its
  // hash, and for a picture or banner also fit = "crop" to have it prepared (cli/load_prep.h).
  std::optional<std::string> FileOf(const std::string& key, const toml::node& value, SlotKind kind,
                                    std::optional<prep::Fit>& fit, std::string& pinned) {
    const toml::table* entry = value.as_table();
    if (entry == nullptr) {
      if (!value.is_string()) {
        Malformed(key, text::kSetFileName);
        return std::nullopt;
      }
      return value.value<std::string>();
    }
    const bool image = ImageKindOf(kind) != nullptr;
    std::optional<std::string> file;
    for (const auto& [name, item] : *entry) {
      const std::string item_key = key + "." + KeyText(name.str());
      if (name == "file" && item.is_string()) {
        file = item.value<std::string>();
      } else if (name == "file") {
        Malformed(item_key, text::kSetFileName);
      } else if (name == "sha256" && item.is_string() && IsSha256(*item.value<std::string>())) {
        pinned = LowerCase(*item.value<std::string>());
      } else if (name == "sha256") {
        Malformed(item_key, text::kSetPinDigits);
      } else if (image && name == "fit" && item.is_string() &&
                 prep::FitNamed(*item.value<std::string>())) {
        fit = prep::FitNamed(*item.value<std::string>());
      } else if (image && name == "fit") {
        Malformed(item_key, text::kSetFitMode);
      } else {
        Malformed(item_key, image ? text::kSetUnknownEntryKey : text::kSetUnknownPatternKey);
      }
    }
    if (!file && entry->find("file") == entry->end())
      Malformed(key, text::kSetNamesNoFile);
    return file;
  }

  void ReadFiles(const SlotKindInfo& table, const toml::node& node) {
    const std::string table_key(table.set_key);
    const toml::table* files = node.as_table();
    if (files == nullptr) {
      Malformed(table_key, text::kSetFilesTable);
      return;
    }
    for (const auto& [slot_key, value] : *files) {
      const std::string slot_name(slot_key.str());
      const std::string key = table_key + "." + KeyText(slot_name);
      std::optional<prep::Fit> fit;
      std::string pinned;
      const auto file = FileOf(key, value, table.kind, fit, pinned);
      if (!file)
        continue;
      if (const auto slot = SlotOf(table, key, slot_name)) {
        LoadStep step = LoadStep::Load({*slot, {}}, Resolve(*file), fit);
        step.pinned_sha256 = pinned;
        Plan(key, std::move(step));
      }
    }
  }

  void ReadErase(const toml::node& node) {
    const toml::table* erase = node.as_table();
    if (erase == nullptr) {
      Malformed("erase", text::kSetEraseTable);
      return;
    }
    for (const auto& [list_key, value] : *erase) {
      const std::string name(list_key.str());
      const std::string key = "erase." + KeyText(name);
      if (name == "countdown") {
        if (!value.is_boolean()) {
          Malformed(key, text::kSetTrueOrFalse);
        } else if (value.value_or(false)) {
          Plan(key, LoadStep::Erase(qvx::Slot::Countdown()));
        }
        continue;
      }
      const SlotKindInfo* table = FindTable(name);
      const toml::array* slots = value.as_array();
      if (table == nullptr) {
        Malformed(key, text::kSetUnknownEraseKey);
        continue;
      }
      if (slots == nullptr) {
        Malformed(key, text::kSetSlotList);
        continue;
      }
      for (size_t i = 0; i < slots->size(); ++i) {
        const std::string item_key = key + "[" + std::to_string(i) + "]";
        // Only an integer is read as one: toml++ converts a float such as 1e35 to an integer
        // without a range check.
        if (!(*slots)[i].is_integer()) {
          Malformed(item_key, text::kSetSlotNumber);
          continue;
        }
        const int64_t number = *(*slots)[i].value<int64_t>();
        if (const auto slot = SlotOf(*table, item_key, std::to_string(number)))
          Plan(item_key, LoadStep::Erase(*slot));
      }
    }
  }

  // The array `audio.name` of exactly four entries, or nullptr with its problem.
  const toml::array* FourEntries(const toml::table& audio, const char* name) {
    const std::string key = std::string("audio.") + name;
    const toml::array* entries = audio[name].as_array();
    if (entries == nullptr || entries->size() != kAudioChannels) {
      Malformed(key, text::kSetFourEntries);
      return nullptr;
    }
    return entries;
  }

  void ReadAudio(const toml::node& node) {
    const toml::table* audio = node.as_table();
    if (audio == nullptr) {
      Malformed("audio", text::kSetAudioTable);
      return;
    }
    for (const auto& [key, value] : *audio) {
      if (key.str() != "tones" && key.str() != "levels")
        Malformed("audio." + KeyText(key.str()), text::kSetUnknownAudioKey);
    }
    const toml::array* tones = FourEntries(*audio, "tones");
    const toml::array* levels = FourEntries(*audio, "levels");
    if (tones == nullptr || levels == nullptr)
      return;
    AudioSettings settings;
    bool whole = true;
    for (int ch = 0; ch < kAudioChannels; ++ch) {
      const std::string index = "[" + std::to_string(ch) + "]";
      const auto row = ToneRow((*tones)[static_cast<size_t>(ch)]);
      if (!row) {
        Malformed("audio.tones" + index, text::kSetNotATone + KnownTones());
        whole = false;
      } else {
        settings.tone_rows[ch] = *row;
      }
      const auto level = LevelText((*levels)[static_cast<size_t>(ch)]);
      if (!level) {
        Malformed("audio.levels" + index, text::kSetLevel);
        whole = false;
      } else {
        settings.amplitudes[ch] = *level;
      }
    }
    if (whole)
      Plan("audio", LoadStep::Load(DownloadRequest::Audio(std::move(settings))));
  }

  static std::optional<int> ToneRow(const toml::node& node) {
    const auto label = node.value<std::string>();
    if (!label || !node.is_string())
      return std::nullopt;
    return ToneRowOf(*label);
  }

  static std::string KnownTones() { return " (" + ToneLabels() + ")"; }

  void ReadRecord(const toml::node& node) {
    if (!node.is_string() || node.value<std::string>()->empty()) {
      Malformed("record", text::kSetFileName);
      return;
    }
    record_file_ = Resolve(*node.value<std::string>());
  }

  void ReadRetries(const toml::node& node) {
    const auto count = node.is_integer() ? *node.value<int64_t>() : -1;
    if (count < 0 || count > station::kMaxRetries) {
      Malformed("retries", text::SetRetries(station::kMaxRetries));
      return;
    }
    retries_ = static_cast<int>(count);
  }

  static bool IsSha256(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
             return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
  }
  static std::string LowerCase(std::string text) {
    for (char& c : text)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }

  // A level as the amplitude edit would hold it: a number's shortest text, or a quoted text.
  static std::optional<std::string> LevelText(const toml::node& node) {
    if (node.is_integer())
      return std::to_string(*node.value<int64_t>());
    if (node.is_floating_point()) {
      std::array<char, 64> buffer;
      const auto result =
          std::to_chars(buffer.data(), buffer.data() + buffer.size(), *node.value<double>());
      return std::string(buffer.data(), result.ptr);
    }
    if (node.is_string())
      return *node.value<std::string>();
    return std::nullopt;
  }

  fs::path folder_;
  // By kind and list row.
  std::map<std::pair<SlotKind, int>, PlannedStep> planned_;
  std::string record_file_;
  std::optional<int> retries_;
  std::vector<std::string> problems_;
};

// Every refusal of the content, each with the key that named it.
std::vector<std::string> RefusedContent(const std::vector<PlannedStep>& planned) {
  std::vector<std::string> refused;
  for (const PlannedStep& entry : planned) {
    if (entry.step.request.slot.info().source == SlotSource::kTones) {
      for (const AmplitudeRefusal& refusal :
           RefusedAmplitudes(entry.step.request.audio.amplitudes)) {
        refused.push_back("audio.levels[" + std::to_string(refusal.channel - 1) +
                          "]: " + refusal.message);
      }
    } else if (const auto refusal = CheckStepInput(entry.step)) {
      refused.push_back(entry.key + ": " + *refusal);
    } else if (const auto changed = PinBroken(entry.step)) {
      refused.push_back(entry.key + ": " + *changed);
    }
  }
  return refused;
}

// The parsed document, or the place and description of its syntax error.
template <typename Parse>
toml::table ParseOrRefuse(Parse parse) {
  try {
    return parse();
  } catch (const toml::parse_error& error) {
    const auto& where = error.source().begin;
    throw ContentSetError(
        SetProblem::kMalformed,
        {text::SetSyntaxError(static_cast<int>(where.line), static_cast<int>(where.column),
                              error.description())});
  }
}

ContentSet CheckedSet(const toml::table& root, const fs::path& folder) {
  SetReader reader(folder);
  reader.Read(root);
  if (!reader.problems().empty())
    throw ContentSetError(SetProblem::kMalformed, std::move(reader.problems()));
  const std::vector<PlannedStep> planned = reader.Ordered();
  if (planned.empty())
    throw ContentSetError(SetProblem::kMalformed, {text::kSetNamesNothing});
  if (auto refused = RefusedContent(planned); !refused.empty())
    throw ContentSetError(SetProblem::kRefusedContent, std::move(refused));
  ContentSet set;
  set.record_file = reader.record_file();
  set.retries = reader.retries();
  for (const PlannedStep& entry : planned)
    set.steps.push_back(entry.step);
  return set;
}

}  // namespace

std::optional<std::string> PinBroken(const LoadStep& step) {
  if (step.pinned_sha256.empty())
    return std::nullopt;
  const auto actual = Sha256OfFile(step.file);
  if (!actual)
    return step.file + text::kCannotOpen;
  if (*actual == step.pinned_sha256)
    return std::nullopt;
  return text::PinMismatch(step.file, *actual, step.pinned_sha256);
}

std::string KeyText(std::string_view key) {
  const bool bare = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
  });
  if (bare)
    return std::string(key);
  std::string quoted = "\"";
  for (const char c : key) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escape[7];
      std::snprintf(escape, sizeof escape, "\\u%04X", byte);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + '"';
}

ContentSet ReadContentSet(const std::string& path) {
  return CheckedSet(ParseOrRefuse([&] { return toml::parse_file(path); }),
                    fs::path(path).parent_path());
}

ContentSet ReadContentSetText(std::string_view text, const std::string& folder) {
  return CheckedSet(ParseOrRefuse([&] { return toml::parse(text); }), folder);
}

}  // namespace qvx::content
