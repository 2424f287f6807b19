#include "device/open_driver_paths.h"

#include <system_error>

namespace qvx {

std::vector<std::string> OpenDriverPaths(const std::filesystem::path& executable_dir) {
  if (executable_dir.empty())
    return {};
  const std::filesystem::path up = executable_dir / "..";
  return {(up / QVX_INSTALL_LIBDIR / "qvx5120" / "libftd2xx.so").string(),
          (up / "ftdi" / "libftd2xx.so").string()};
}

std::filesystem::path ExecutableDirectory() {
  std::error_code error;
  const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : executable.parent_path();
}

}  // namespace qvx
