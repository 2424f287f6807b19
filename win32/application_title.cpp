#include "win32/application_title.h"

#include <windows.h>

#include <array>

namespace qvx::win32 {

std::string TitleFromPath(std::string_view executable_path) {
  const std::size_t slash = executable_path.find_last_of("\\/");
  std::string_view name =
      slash == std::string_view::npos ? executable_path : executable_path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos)
    name = name.substr(0, dot);
  return std::string(name);
}

std::string ApplicationTitle() {
  std::array<char, MAX_PATH> path{};
  const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  return TitleFromPath(std::string_view(path.data(), length));
}

}  // namespace qvx::win32
