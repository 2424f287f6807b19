// Shared fixture of the end-to-end download tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "download/controls.h"
#include "download/frame.h"
#include "tests/support/session.h"

namespace qvx::test {

using Lines = std::vector<std::string>;

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    generator.Reset();
    generator.SetOption("busy_polls", 2);
  }

  void TearDown() override {
    EXPECT_TRUE(generator.Violations().empty())
        << "first violation: " << generator.Violations().front();
  }

  // Entries of the script that start with `prefix`.
  static Lines Matching(const Lines& script, std::string_view prefix) {
    Lines out;
    for (const auto& line : script) {
      if (line.starts_with(prefix))
        out.push_back(line);
    }
    return out;
  }

  Generator generator;
};

inline const std::string kReset = "title " + std::string(kResetTitle);

}  // namespace qvx::test
