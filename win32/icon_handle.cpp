// Icons through CreateIconFromResourceEx, from the same bitmap bytes the executable's icon file
// holds, so the window's icons and the one Explorer shows cannot differ.
#include "win32/icon_handle.h"

#include <utility>
#include <vector>

#include "window/icon_file.h"
#include "window/icons.h"

namespace qvx::win32 {
namespace {

// The icon format version every Windows since 3.0 reads.
constexpr DWORD kIconFormatVersion = 0x00030000;

}  // namespace

IconHandle::IconHandle(int resource_id, int size) {
  std::vector<std::uint8_t> bytes =
      resources::IconImageBytes(resources::IconPixels(resource_id, size), size);
  if (bytes.empty())
    return;
  icon_ = CreateIconFromResourceEx(bytes.data(), static_cast<DWORD>(bytes.size()), TRUE,
                                   kIconFormatVersion, size, size, LR_DEFAULTCOLOR);
}

IconHandle::~IconHandle() {
  if (icon_ != nullptr)
    DestroyIcon(icon_);
}

IconHandle::IconHandle(IconHandle&& other) noexcept : icon_(std::exchange(other.icon_, nullptr)) {}

IconHandle& IconHandle::operator=(IconHandle&& other) noexcept {
  if (this != &other) {
    if (icon_ != nullptr)
      DestroyIcon(icon_);
    icon_ = std::exchange(other.icon_, nullptr);
  }
  return *this;
}

}  // namespace qvx::win32
