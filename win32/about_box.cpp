// The About box: its icon control shows icon 134, made at run time from the pixel art, since the
// executable's resources hold the application's icon only.
#include "win32/about_box.h"

#include <cstddef>
#include <vector>

#include "win32/dialog_template.h"
#include "win32/icon_handle.h"
#include "win32/window_placement.h"
#include "window/icons.h"
#include "window/templates.h"

namespace qvx::win32 {
namespace {

// Popup with a caption, system menu and modal frame; the owner makes it modal over the window.
constexpr DWORD kAboutStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

void ShowIcon(HWND dialog, const IconHandle& icon) {
  const resources::DialogTemplate& layout = resources::AboutTemplate();
  for (std::size_t i = 0; i < layout.controls.size(); ++i) {
    if (layout.controls[i].kind == resources::ControlType::kIcon)
      SendMessageW(ControlAt(dialog, i), STM_SETICON, reinterpret_cast<WPARAM>(icon.get()), 0);
  }
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      ShowIcon(dialog, *reinterpret_cast<const IconHandle*>(lparam));
      CentreWindow(dialog, GetWindow(dialog, GW_OWNER));
      return TRUE;  // the focus on the default button
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
    case WM_HELP:
      // F1 here would otherwise travel on to the owner and open a second About box.
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunAboutBox(HINSTANCE instance, HWND owner) {
  const std::vector<WORD> layout = BuildDialogTemplate(resources::AboutTemplate(), kAboutStyle, 0);
  // The icon outlives the box, whose static control only borrows it.
  const IconHandle icon(resources::kAboutIconId, resources::kIconSizes[0]);
  DialogBoxIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(layout.data()), owner,
                          AboutProc, reinterpret_cast<LPARAM>(&icon));
}

}  // namespace qvx::win32
