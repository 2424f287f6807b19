// The two dialog templates (100: About box, 102: main window), the drop-down lists' initial items
// and the system-menu entry text. Positions and sizes are in dialog units; the window builds its
// controls from these tables so the layout lives in one place.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace qvx::resources {

enum class ControlType {
  kPushButton,
  kDefaultPushButton,
  kProgressBar,
  kGroupBox,
  kLabel,
  kDropDownList,
  kEdit,
  kIcon,
};

// Push buttons, lists and edits are tab stops; the rest never take the focus.
constexpr bool TakesFocus(ControlType kind) {
  return kind == ControlType::kPushButton || kind == ControlType::kDefaultPushButton ||
         kind == ControlType::kDropDownList || kind == ControlType::kEdit;
}

// Id of a control that nothing refers to.
inline constexpr int kNoId = -1;
// Id of the About box's OK button.
inline constexpr int kIdOk = 1;

struct ControlTemplate {
  int id;
  ControlType kind;
  std::string_view text;
  int x, y, width, height;
};

struct DialogTemplate {
  int id;
  std::string_view caption;
  int width, height;
  std::span<const ControlTemplate> controls;  // in tab order
};

const DialogTemplate& MainTemplate();   // resource 102
const DialogTemplate& AboutTemplate();  // resource 100

// The initial items of one drop-down list, added in this order; no list sorts.
struct ListItems {
  int list_id;
  std::span<const std::string_view> items;
};

// Picture, banner, test pattern, then the four frequency lists.
std::span<const ListItems> InitialListItems();

// String 101 and the command id of the entry it labels.
inline constexpr std::string_view kAboutMenuText = "&About QVX5120...";
inline constexpr int kAboutCommandId = 0x10;

inline constexpr int kApplicationIconId = 128;
inline constexpr int kAboutIconId = 134;

}  // namespace qvx::resources
