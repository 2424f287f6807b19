// The application's title: the executable's file name without its extension. Boxes without a
// caption of their own show it, as the Qt window's do.
#pragma once

#include <string>
#include <string_view>

namespace qvx::win32 {

// The title for an executable path: its last component, up to its last dot.
std::string TitleFromPath(std::string_view executable_path);
// The title of this process's executable.
std::string ApplicationTitle();

}  // namespace qvx::win32
