// An icon handle made at run time from the pixel art of window/icons.h, destroyed with its owner.
#pragma once

#include <windows.h>

namespace qvx::win32 {

class IconHandle {
 public:
  IconHandle() = default;
  // One size of an icon resource; empty when the id is unknown or the window system refuses it.
  IconHandle(int resource_id, int size);
  ~IconHandle();
  IconHandle(IconHandle&& other) noexcept;
  IconHandle& operator=(IconHandle&& other) noexcept;
  IconHandle(const IconHandle&) = delete;
  IconHandle& operator=(const IconHandle&) = delete;

  HICON get() const { return icon_; }

 private:
  HICON icon_ = nullptr;
};

}  // namespace qvx::win32
