// Writes the bash completion's words for the content kinds from the kind table, at build time, so
// that a kind added to the table is completed without touching the completion script: every
// kind's word, those that take a slot number, a file or the tone rows, those that can be erased,
// and the file pattern each one's file dialog offers.
#include <cctype>
#include <cstdio>
#include <string>

#include "download/kinds/slot.h"

namespace {

// "*.bmp" as bash's extended pattern for either case: "@(bmp|BMP)".
std::string EitherCase(std::string_view pattern) {
  const size_t dot = pattern.rfind('.');
  std::string lower(pattern.substr(dot == std::string_view::npos ? 0 : dot + 1));
  std::string upper = lower;
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return "@(" + lower + "|" + upper + ")";
}

void Append(std::string& words, std::string_view word) {
  if (!words.empty())
    words += ' ';
  words += word;
}

}  // namespace

int main() {
  std::string kinds, slotted, single_file, tone_kinds, erasable, patterns;
  for (const qvx::SlotKindInfo& info : qvx::kSlotKinds) {
    Append(kinds, info.word);
    if (info.source == qvx::SlotSource::kTones)
      Append(tone_kinds, info.word);
    else if (info.count > 1)
      Append(slotted, info.word);
    else
      Append(single_file, info.word);
    if (info.filter != nullptr) {
      Append(erasable, info.word);
      patterns += "_qvx5120_pattern_" + std::string(info.word) + "='" +
                  EitherCase(info.filter->pattern) + "'\n";
    }
  }
  std::printf(
      "# The content kinds, written from the kind table when the program was built.\n"
      "_qvx5120_kinds='%s'\n_qvx5120_slotted='%s'\n_qvx5120_single_file='%s'\n"
      "_qvx5120_tone_kinds='%s'\n_qvx5120_erasable='%s'\n%s\n",
      kinds.c_str(), slotted.c_str(), single_file.c_str(), tone_kinds.c_str(), erasable.c_str(),
      patterns.c_str());
  return 0;
}
