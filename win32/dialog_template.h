// A dialog template of window/templates.h as the in-memory template DialogBoxIndirectParamW runs:
// a DLGTEMPLATE with the template font, then one DLGITEMTEMPLATE per control in template order,
// so the window system lays the dialog out in true dialog units.
#pragma once

#include <windows.h>

#include <vector>

#include "window/templates.h"

namespace qvx::win32 {

// The template's words, aligned as DialogBoxIndirectParamW expects when the vector's storage is.
// `style` and `ex_style` are the dialog's own; DS_SETFONT is added.
std::vector<WORD> BuildDialogTemplate(const resources::DialogTemplate& layout, DWORD style,
                                      DWORD ex_style);

// The dialog's child window made from the control at `index` of its template: the window system
// creates them in template order.
HWND ControlAt(HWND dialog, std::size_t index);

}  // namespace qvx::win32
