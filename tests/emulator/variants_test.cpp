// The libraries that each lack one D2XX entry point, for the application's binding failures, and
// the complete library's exports.
#include <dlfcn.h>

#include <array>
#include <string>

#include "tests/emulator/emu_host.h"
#include "tests/support/virtual_generator.h"

#include <gtest/gtest.h>

namespace qvx::test {
namespace {

constexpr std::array<const char*, 10> kEntryPoints = {
    "FT_Open",  "FT_OpenEx",      "FT_ListDevices", "FT_Close",       "FT_Read",
    "FT_Write", "FT_ResetDevice", "FT_Purge",       "FT_SetTimeouts", "FT_GetQueueStatus"};

std::string VariantPath(const char* missing) {
  // Appended piece by piece: g++ 12 takes a chain of + on a temporary for an overflow.
  std::string path = QVX_VG_DIR;
  path += "/without-";
  path += missing;
  path += "/libftd2xx.so";
  return path;
}

TEST(EmuVariants, TheCompleteLibraryExportsAllTenEntryPoints) {
  VirtualGenerator vg;
  for (const char* name : kEntryPoints)
    EXPECT_NE(vg.Symbol(name), nullptr) << name;
}

TEST(EmuVariants, EachVariantLacksExactlyItsEntryPoint) {
  for (const char* missing : kEntryPoints) {
    VirtualGenerator variant(VariantPath(missing));
    for (const char* name : kEntryPoints) {
      if (std::string(name) == missing) {
        EXPECT_EQ(variant.Symbol(name), nullptr) << "without-" << missing;
      } else {
        EXPECT_NE(variant.Symbol(name), nullptr) << "without-" << missing << " lacks " << name;
      }
    }
  }
}

TEST(EmuVariants, AVariantIsAWorkingDeviceOfItsOwn) {
  VirtualGenerator variant(VariantPath("FT_Purge"));
  VirtualGenerator plain;
  ASSERT_NE(variant.library(), plain.library());
  variant.Reset();
  variant.SetFlashFile("");
  plain.Reset();
  EmuHost host(variant.library());
  ASSERT_EQ(host.Open(), d2xx::FT_OK);
  host.Write({kBeginLoad});
  EXPECT_EQ(variant.Calls(),
            (std::vector<std::string>{"FT_OpenEx QVX5120I1 2 -> 0", "FT_Write F0 -> 0 1"}));
  EXPECT_TRUE(plain.Calls().empty());
  // The plain name still finds the complete library after a variant was loaded by path.
  void* again = dlopen("libftd2xx.so", RTLD_NOW);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(dlsym(again, "FT_Purge"), nullptr);
  dlclose(again);
}

TEST(EmuVariants, OnlyTheIntendedNamesAreExported) {
  VirtualGenerator vg;
  // Names of the model's own code stay inside the library.
  EXPECT_EQ(vg.Symbol("_ZN3qvx2vg16SectorStartingAtEj"), nullptr);
  EXPECT_EQ(vg.Symbol("_ZN3qvx2vg13VirtualDevice5ResetEv"), nullptr);
  // Nor do the standard library's template instances it uses.
  EXPECT_EQ(vg.Symbol("_ZNSt11_Deque_baseIhSaIhEED2Ev"), nullptr);
}

}  // namespace
}  // namespace qvx::test
