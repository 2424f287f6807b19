// UTF-8, the core's texts, to UTF-16, the window system's.
#pragma once

#include <string>
#include <string_view>

namespace qvx::win32 {

std::wstring Widen(std::string_view utf8);

}  // namespace qvx::win32
