// Shared fixture of the end-to-end download tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "download/frame.h"
#include "tests/support/session.h"
#include "window/controls.h"

namespace qvx::test {

using Lines = std::vector<std::string>;

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetGenerator(); }

  void TearDown() override {
    EXPECT_TRUE(generator.Violations().empty())
        << "first violation: " << generator.Violations().front();
  }

  // Fresh state, two busy answers before every ready status.
  void ResetGenerator() {
    generator.Reset();
    generator.SetOption("busy_polls", 2);
  }

  GeneratorControl generator;
};

inline const std::string kReset = "title " + std::string(kResetTitle);

}  // namespace qvx::test
