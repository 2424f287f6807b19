// Contents of the dialog templates and the lists' initial data.
#include "window/templates.h"

#include <span>

#include "download/kinds/slot.h"
#include "encode/tone_synthesis.h"
#include "window/controls.h"

namespace qvx::resources {
namespace {

using K = ControlType;
namespace c = qvx::control;

constexpr std::array<ControlTemplate, 34> kMainControls = {{
    {c::kDownloadPicture, K::kPushButton, "Download Picture", 29, 34, 119, 20},
    {c::kDownloadBanner, K::kPushButton, "Download Banner", 29, 96, 119, 20},
    {c::kDownloadTestPattern, K::kPushButton, "Download Test Pattern", 29, 160, 119, 20},
    {c::kProgressBar, K::kProgressBar, "", 6, 353, 166, 23},
    {kNoId, K::kGroupBox, "Picture Generator", 6, 3, 166, 59},
    {kNoId, K::kLabel, "Channel 1", 16, 221, 33, 8},
    {kNoId, K::kLabel, "Channel 2", 16, 237, 33, 8},
    {kNoId, K::kLabel, "Channel 3", 16, 253, 33, 8},
    {kNoId, K::kLabel, "Channel 4", 16, 269, 33, 8},
    {c::kFrequencyCombos[0], K::kDropDownList, "", 54, 218, 48, 58},
    {c::kAmplitudeEdits[0], K::kEdit, "", 109, 218, 29, 12},
    {kNoId, K::kLabel, "Frequency", 58, 205, 34, 8},
    {kNoId, K::kLabel, "Amplitude", 108, 205, 32, 8},
    {c::kFrequencyCombos[1], K::kDropDownList, "", 54, 234, 48, 58},
    {c::kFrequencyCombos[2], K::kDropDownList, "", 54, 250, 48, 58},
    {c::kFrequencyCombos[3], K::kDropDownList, "", 54, 266, 48, 58},
    {c::kAmplitudeEdits[1], K::kEdit, "", 109, 234, 29, 12},
    {c::kAmplitudeEdits[2], K::kEdit, "", 109, 250, 29, 12},
    {c::kAmplitudeEdits[3], K::kEdit, "", 109, 266, 29, 12},
    {kNoId, K::kLabel, "dBFS", 142, 221, 18, 8},
    {kNoId, K::kLabel, "dBFS", 144, 237, 18, 8},
    {kNoId, K::kLabel, "dBFS", 144, 253, 18, 8},
    {kNoId, K::kLabel, "dBFS", 144, 269, 18, 8},
    {c::kDownloadAudio, K::kPushButton, "Download Audio", 29, 283, 119, 20},
    {c::kPatternCombo, K::kDropDownList, "", 100, 143, 48, 58},
    {c::kBannerCombo, K::kDropDownList, "", 100, 79, 48, 58},
    {c::kPictureCombo, K::kDropDownList, "", 100, 17, 48, 58},
    {kNoId, K::kGroupBox, "Audio Generator", 6, 194, 166, 119},
    {kNoId, K::kLabel, "Picture Number", 29, 19, 50, 8},
    {kNoId, K::kGroupBox, "Banner Generator", 6, 65, 166, 61},
    {kNoId, K::kLabel, "Banner Number", 29, 81, 50, 8},
    {kNoId, K::kGroupBox, "Test Pattern Generator", 6, 130, 166, 61},
    {kNoId, K::kLabel, "Test Pattern Number", 29, 145, 66, 8},
    {c::kDownloadCountdown, K::kPushButton, "Download Countdown", 29, 322, 119, 20},
}};

constexpr std::array<ControlTemplate, 6> kAboutControls = {{
    {kNoId, K::kIcon, "", 11, 17, 20, 20},
    {kNoId, K::kLabel, "QVX5120 Version 1.0", 40, 10, 119, 8},
    {kIdOk, K::kDefaultPushButton, "OK", 211, 7, 50, 14},
    {kNoId, K::kLabel, "Banners must be 720 wide by 72 high 24-bit RGB uncompressed BMP", 15, 49,
     234, 8},
    {kNoId, K::kLabel, "Pictures must be 720 wide by 576 high 24-bit RGB uncompressed BMP", 15, 63,
     234, 8},
    {kNoId, K::kLabel, "To erase a pattern, banner or picture, just cancel the file dialog", 15, 77,
     234, 8},
}};

constexpr DialogTemplate kMainTemplate{102, "QVX5120     ", 180, 383, kMainControls};
constexpr DialogTemplate kAboutTemplate{100, "About QVX5120", 268, 110, kAboutControls};

// A slot list shows its kind's numbers, from the kind table, one row per slot.
constexpr std::array<std::string_view, 16> kNumberTexts = {
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"};
constexpr std::span<const std::string_view> SlotItems(SlotKind kind) {
  const SlotKindInfo& info = InfoOf(kind);
  return std::span(kNumberTexts)
      .subspan(static_cast<size_t>(info.first_number), static_cast<size_t>(info.count));
}
constexpr auto kPictureItems = SlotItems(SlotKind::kPicture);
constexpr auto kBannerItems = SlotItems(SlotKind::kBanner);
constexpr auto kPatternItems = SlotItems(SlotKind::kPattern);
// The labels of the tone table, whose row the list's selection index picks.
constexpr auto kFrequencyItems = [] {
  std::array<std::string_view, ToneTable.size()> items{};
  for (size_t i = 0; i < ToneTable.size(); ++i)
    items[i] = ToneTable[i].label;
  return items;
}();

constexpr std::array<ListItems, 7> kListItems = {{
    {c::kPictureCombo, kPictureItems},
    {c::kBannerCombo, kBannerItems},
    {c::kPatternCombo, kPatternItems},
    {c::kFrequencyCombos[0], kFrequencyItems},
    {c::kFrequencyCombos[1], kFrequencyItems},
    {c::kFrequencyCombos[2], kFrequencyItems},
    {c::kFrequencyCombos[3], kFrequencyItems},
}};

}  // namespace

const DialogTemplate& MainTemplate() {
  return kMainTemplate;
}
const DialogTemplate& AboutTemplate() {
  return kAboutTemplate;
}
std::span<const ListItems> InitialListItems() {
  return kListItems;
}

}  // namespace qvx::resources
