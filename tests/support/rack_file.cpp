#include "tests/support/rack_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/support/test_files.h"

namespace qvx::test {

TestRack::TestRack(const std::string& name, const std::vector<std::string>& lines)
    : path_(TempDir() + "/" + name) {
  Write(lines);
  setenv("QVX_VG_RACK", path_.c_str(), 1);
}

TestRack::~TestRack() {
  unsetenv("QVX_VG_RACK");
  Remove();
}

void TestRack::Write(const std::vector<std::string>& lines) const {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\n";
  WriteText(text);
}

void TestRack::WriteText(std::string_view text) const {
  const std::string next = path_ + ".next";
  {
    std::ofstream out(next, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  std::filesystem::rename(next, path_);
}

void TestRack::Remove() const {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace qvx::test
