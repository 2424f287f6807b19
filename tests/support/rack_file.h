// A rack file for the virtual generator (QVX_VG_RACK) that a test rewrites as it plugs and pulls
// units. Each rewrite replaces the file at once, as a new file renamed over the old, so the
// generator never reads half of it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qvx::test {

class TestRack {
 public:
  // A file `name` in TempDir() holding `lines`, named by QVX_VG_RACK until destruction; the
  // generator takes it at its next VG_Reset.
  explicit TestRack(const std::string& name, const std::vector<std::string>& lines = {});
  ~TestRack();
  TestRack(const TestRack&) = delete;
  TestRack& operator=(const TestRack&) = delete;

  // The file holds these "SERIAL PORT" lines, one per line, and nothing else.
  void Write(const std::vector<std::string>& lines) const;
  void WriteText(std::string_view text) const;
  // The file is gone: no unit is attached.
  void Remove() const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace qvx::test
