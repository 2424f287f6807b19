// UTF-8 to UTF-16 through the window system's own conversion.
#include "win32/wide_text.h"

#include <windows.h>

namespace qvx::win32 {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty())
    return {};
  const int size = static_cast<int>(utf8.size());
  std::wstring wide(utf8.size(), L'\0');
  const int written = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), size);
  wide.resize(static_cast<size_t>(written > 0 ? written : 0));
  return wide;
}

}  // namespace qvx::win32
