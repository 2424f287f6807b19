// A file system of a few pages for a test, mounted as tmpfs in a folder of its own, that a test
// fills up and frees again as a real disk fills: writes fail with ENOSPC once it is full. Needs
// root (the tests run as root); `mounted()` says whether it could be made.
#pragma once

#include <cstddef>
#include <string>

namespace qvx::test {

class SmallDisk {
 public:
  // `name` under TempDir(), `bytes` in size (whole pages).
  SmallDisk(const std::string& name, size_t bytes);
  ~SmallDisk();
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& folder() const { return folder_; }
  // Writes a filler file until the disk takes nothing more.
  void Fill();
  // Removes the filler: the room it took is free again.
  void Free();

 private:
  std::string folder_;
  bool mounted_ = false;
};

}  // namespace qvx::test
