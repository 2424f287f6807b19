// The virtual generator's options as tests and users meet them: a name VG_SetOption does not know
// fails the test that passed it, and the README's table of variables lists exactly the options'
// variables beside the ones that are no fault option.
#include <algorithm>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>

#include "tests/emulator/emu_fixture.h"

namespace qvx::test {
namespace {

using EmuOptions = EmuTest;
using Answers = std::vector<std::optional<uint8_t>>;

TEST_F(EmuOptions, AnUnknownNameThrowsAndChangesNothing) {
  for (const char* name : {"busy_poll", "BUSY_POLLS", "QVX_VG_BUSY_POLLS", ""})
    EXPECT_THROW(vg_.SetOption(name, 5), std::runtime_error) << name;
  EXPECT_THROW(vg_.SetOption(nullptr, 5), std::runtime_error);
  OpenLoading();
  host_.Erase(0x002000);
  EXPECT_EQ(host_.ReadStatuses(3), (Answers{0, 0, 1})) << "still the default two busy polls";
}

// The `QVX_VG_*` names in the first column of README.md's variables table.
std::set<std::string> ReadmeVariables() {
  std::ifstream readme(QVX_README);
  EXPECT_TRUE(readme) << QVX_README;
  std::set<std::string> variables;
  const std::string row_start = "| `QVX_VG_";
  for (std::string line; std::getline(readme, line);) {
    if (!line.starts_with(row_start))
      continue;
    const size_t begin = 3;
    const size_t end = line.find_first_of("=`", begin);
    variables.insert(line.substr(begin, end - begin));
  }
  return variables;
}

TEST_F(EmuOptions, TheReadmeTableListsEveryOptionVariableAndNoOther) {
  // Variables of the generator as a whole, not options of one unit.
  const std::vector<std::string> generator = vg_.GeneratorVariables();
  const std::set<std::string> others(generator.begin(), generator.end());
  ASSERT_FALSE(others.empty());
  const std::vector<std::string> options = vg_.OptionVariables();
  ASSERT_FALSE(options.empty());
  const std::set<std::string> documented = ReadmeVariables();
  for (const std::string& variable : options)
    EXPECT_TRUE(documented.contains(variable)) << variable << " is missing from README.md";
  for (const std::string& variable : documented) {
    EXPECT_TRUE(others.contains(variable) ||
                std::find(options.begin(), options.end(), variable) != options.end())
        << "README.md lists " << variable << ", which the virtual generator does not read";
  }
  for (const std::string& variable : others)
    EXPECT_TRUE(documented.contains(variable)) << variable << " is missing from README.md";
}

}  // namespace
}  // namespace qvx::test
