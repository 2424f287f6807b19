// The common file-open dialog, run so that the main window stays served while it comes up.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "port/window_port.h"

namespace qvx::win32 {

// Shows the open dialog owned by `owner` (existing files, read-only box hidden, no default
// extension) and returns the chosen path, or nothing when cancelled. The dialog runs on a thread
// of its own; meanwhile this thread calls `serve` whenever its queue has something for it.
std::optional<std::string> ChooseFileToOpen(HWND owner, const FileFilter& filter,
                                            const std::function<void()>& serve);

}  // namespace qvx::win32
