// The in-memory dialog templates: every string is UTF-16, the header and each item start on a
// four-byte boundary, and the predefined control classes go by their atoms.
#include "win32/dialog_template.h"

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <string_view>

namespace qvx::win32 {
namespace {

using resources::ControlType;

// The font every template of the application names.
constexpr std::wstring_view kFontName = L"MS Sans Serif";
constexpr WORD kFontPoints = 8;

// Atoms of the predefined control classes, as a template names them.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kComboBoxAtom = 0x0085;

// The About box's version text shows its characters as they are, as in the resource script the
// templates come from; its other labels are plain left-aligned text.
struct ExtraStyle {
  int template_id;
  std::size_t control_index;
  DWORD style;
};
constexpr ExtraStyle kExtraStyles[] = {{100, 1, SS_NOPREFIX}};

DWORD ControlStyle(ControlType kind) {
  switch (kind) {
    case ControlType::kPushButton:
      return BS_PUSHBUTTON | WS_TABSTOP;
    case ControlType::kDefaultPushButton:
      return BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP;
    case ControlType::kProgressBar:
      return PBS_SMOOTH | WS_BORDER;
    case ControlType::kGroupBox:
      return BS_GROUPBOX;
    case ControlType::kLabel:
      return SS_LEFT;
    case ControlType::kDropDownList:
      return CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
    case ControlType::kEdit:
      return ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
    case ControlType::kIcon:
      return SS_ICON;
  }
  return 0;
}

class TemplateWriter {
 public:
  void Word(WORD value) { words_.push_back(value); }
  void Double(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  // A NUL-terminated UTF-16 string from the UTF-8 of the template tables.
  void Text(std::string_view text) {
    std::wstring wide(text.size(), L'\0');
    const int length =
        text.empty() ? 0
                     : MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length));
    Text(std::wstring_view(wide));
  }
  void Text(std::wstring_view text) {
    for (wchar_t c : text)
      Word(static_cast<WORD>(c));
    Word(0);
  }
  void AlignToDouble() {
    if (words_.size() % 2 != 0)
      Word(0);
  }
  std::vector<WORD> Take() { return std::move(words_); }

 private:
  std::vector<WORD> words_;
};

// The control's class: an atom for the predefined ones, a name for the common controls.
void WriteClass(TemplateWriter& out, ControlType kind) {
  switch (kind) {
    case ControlType::kPushButton:
    case ControlType::kDefaultPushButton:
    case ControlType::kGroupBox:
      out.Word(0xFFFF);
      out.Word(kButtonAtom);
      return;
    case ControlType::kEdit:
      out.Word(0xFFFF);
      out.Word(kEditAtom);
      return;
    case ControlType::kLabel:
    case ControlType::kIcon:
      out.Word(0xFFFF);
      out.Word(kStaticAtom);
      return;
    case ControlType::kDropDownList:
      out.Word(0xFFFF);
      out.Word(kComboBoxAtom);
      return;
    case ControlType::kProgressBar:
      out.Text(std::wstring_view(PROGRESS_CLASSW));
      return;
  }
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const resources::DialogTemplate& layout, DWORD style,
                                      DWORD ex_style) {
  TemplateWriter out;
  // DLGTEMPLATE: style, extended style, item count, position and size.
  out.Double(style | DS_SETFONT);
  out.Double(ex_style);
  out.Word(static_cast<WORD>(layout.controls.size()));
  out.Word(0);
  out.Word(0);
  out.Word(static_cast<WORD>(layout.width));
  out.Word(static_cast<WORD>(layout.height));
  out.Word(0);  // no menu
  out.Word(0);  // the dialog class
  out.Text(layout.caption);
  out.Word(kFontPoints);
  out.Text(kFontName);

  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    const resources::ControlTemplate& control = layout.controls[i];
    DWORD control_style = WS_CHILD | WS_VISIBLE | ControlStyle(control.kind);
    for (const ExtraStyle& extra : kExtraStyles) {
      if (extra.template_id == layout.id && extra.control_index == i)
        control_style |= extra.style;
    }
    // DLGITEMTEMPLATE: style, extended style, position, size and id.
    out.AlignToDouble();
    out.Double(control_style);
    out.Double(0);
    out.Word(static_cast<WORD>(control.x));
    out.Word(static_cast<WORD>(control.y));
    out.Word(static_cast<WORD>(control.width));
    out.Word(static_cast<WORD>(control.height));
    out.Word(static_cast<WORD>(control.id));  // kNoId becomes 0xFFFF, the usual static id
    WriteClass(out, control.kind);
    out.Text(control.text);
    out.Word(0);  // no creation data
  }
  return out.Take();
}

HWND ControlAt(HWND dialog, std::size_t index) {
  HWND child = GetWindow(dialog, GW_CHILD);
  for (std::size_t i = 0; child != nullptr && i < index; ++i)
    child = GetWindow(child, GW_HWNDNEXT);
  return child;
}

}  // namespace qvx::win32
