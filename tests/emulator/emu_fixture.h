// A fresh virtual generator for every test: the library the application would load, reset, with
// its flash in memory, and a host bound to its entry points.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tests/emulator/emu_host.h"
#include "tests/support/virtual_generator.h"

namespace qvx::test {

class EmuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vg_.Reset();
    vg_.SetFlashFile("");  // never a user's flash file, even when run outside ctest
  }

  // Opens the device and enters loading mode.
  void OpenLoading() {
    ASSERT_EQ(host_.Open(), d2xx::FT_OK);
    host_.Write({kBeginLoad});
  }

  // Flash bytes of `count` units from `unit` on.
  std::vector<uint8_t> Units(uint32_t unit, size_t count) const {
    const auto flash = vg_.Flash();
    return {flash.begin() + unit * 2, flash.begin() + (unit + count) * 2};
  }
  uint8_t ByteAt(size_t offset) const { return vg_.Flash()[offset]; }

  VirtualGenerator vg_;
  EmuHost host_{vg_.library()};
};

// `count` copies of `value`.
inline std::vector<uint8_t> Bytes(size_t count, uint8_t value) {
  return std::vector<uint8_t>(count, value);
}

}  // namespace qvx::test
