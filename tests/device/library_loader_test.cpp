// The driver library's search as the doctor reports it: every file tried in order, the loader's
// own reason for each that did not load, and the full path of the one that did.
#include <gtest/gtest.h>

#include <filesystem>

#include "device/library_loader.h"

namespace qvx::test {
namespace {

TEST(LibraryLoaderReport, NamesEveryFileTriedWhyAndTheOneThatLoaded) {
  const std::string absent_path = "/nonexistent/qvx5120/libftd2xx.so";
  const std::string virtual_generator = QVX_EMULATOR_DIR "/libftd2xx.so";
  SystemLibraryLoader loader("libqvx5120-absent-driver.so", {absent_path, virtual_generator});
  ASSERT_NE(loader.Load(), nullptr);
  const LoadReport& report = loader.report();
  ASSERT_EQ(report.tried.size(), 3u);
  EXPECT_EQ(report.tried[0].file, "libqvx5120-absent-driver.so");
  // dlerror's words: the file and what stopped it.
  EXPECT_EQ(report.tried[0].error,
            "libqvx5120-absent-driver.so: cannot open shared object file: No such file or "
            "directory");
  EXPECT_EQ(report.tried[1].file, absent_path);
  EXPECT_EQ(report.tried[1].error,
            absent_path + ": cannot open shared object file: No such file or directory");
  EXPECT_EQ(report.tried[2].file, virtual_generator);
  EXPECT_EQ(report.tried[2].error, "");
  EXPECT_EQ(std::filesystem::canonical(report.loaded),
            std::filesystem::canonical(virtual_generator));

  SystemLibraryLoader none("libqvx5120-absent-driver.so", {absent_path});
  EXPECT_EQ(none.Load(), nullptr);
  EXPECT_EQ(none.report().tried.size(), 2u);
  EXPECT_EQ(none.report().loaded, "");
}

}  // namespace
}  // namespace qvx::test
