// Content sets: a set that cannot be loaded is refused whole, each problem named by its key,
// before the generator is even opened; a valid set loads what the same command line loads.
#include <fstream>
#include <iterator>

#include "content/content_set.h"
#include "tests/cli/cli_fixture.h"

namespace qvx::test {
namespace {

using cli::kExitCompleted;
using cli::kExitRefused;
using cli::kExitUsage;

struct BadSet {
  const char* name;
  const char* toml;
  int status;
  Lines problems;  // the lines the loader must print, after "qvx5120-load: <set>: "
};

// Test names come from `name`; this keeps the bytes of the case out of the test list.
void PrintTo(const BadSet& bad, std::ostream* out) {
  *out << bad.name;
}

class ContentSetTest : public CliTest, public ::testing::WithParamInterface<BadSet> {
 protected:
  // The set's text in a file beside the test's content files.
  static std::string WriteSet(const std::string& name, const std::string& text) {
    const std::string path = TempDir() + "/" + name + ".toml";
    std::ofstream(path) << text;
    return path;
  }
};

const BadSet kBadSets[] = {
    {"MissingFile",
     "[banners]\n1 = \"absent.bmp\"\n",
     kExitRefused,
     {"banners.1: {dir}/absent.bmp: cannot be opened for reading"}},
    {"UnknownKeys",
     "[banners]\n1 = \"set-banner.bmp\"\n[pattern]\n0 = \"set-pattern.tst\"\n"
     "[audio]\ntones = [\"Silence\", \"Silence\", \"Silence\", \"Silence\"]\n"
     "levels = [0, 0, 0, 0]\nlevel = 3\n",
     kExitUsage,
     {"audio.level: unknown key (expected tones and levels)",
      "pattern: unknown key (expected pictures, banners, patterns, audio, erase, record or "
      "retries)"}},
    {"SlotsOutOfRange",
     "[patterns]\n16 = \"set-pattern.tst\"\n[erase]\npictures = [3]\n",
     kExitUsage,
     {"erase.pictures[0]: no such slot (1 to 2)", "patterns.16: no such slot (0 to 15)"}},
    // A float far outside any integer's range, found by the content-set fuzz target.
    {"FloatSlotNumber",
     "[erase]\nbanners = [1, 1e35]\n",
     kExitUsage,
     {"erase.banners[1]: must be a slot number"}},
    // A key that holds a dot or a bracket is named quoted, so that it reads as one key.
    {"QuotedKeys",
     "\"[erase]\" = 1\n[banners]\n\"1.5\" = \"set-banner.bmp\"\n",
     kExitUsage,
     {"\"[erase]\": unknown key (expected pictures, banners, patterns, audio, erase, record or "
      "retries)",
      "banners.\"1.5\": no such slot (1 to 8)"}},
    {"PictureThatIsNotABmp",
     "[pictures]\n1 = \"set-pattern.tst\"\n",
     kExitRefused,
     {"pictures.1: {dir}/set-pattern.tst: Incorrect Picture file format: not a BMP file (it does "
      "not start with \"BM\"); qvx5120-prep picture makes the file the generator takes, or load "
      "it with --fit letterbox, crop or stretch"}},
    // A character outside ASCII where the reader expects whitespace: toml++ 3.3 reached undefined
    // behaviour here (cmake/tomlplusplus.cmake); the content-set fuzz target found it.
    {"NonAsciiWhereWhitespaceBelongs",
     "[banners]\n1 = \"set-banner.bmp\" \xC3\xA9\n",
     kExitUsage,
     {"line 2, column 22: Error while parsing key-value pair: expected a comment or whitespace, "
      "saw '\xC3\xA9'"}},
    // A table header without its key: toml++ 3.3 asserted that a key begins there (aborting where
    // asserts are on) before it checks (cmake/tomlplusplus.cmake); the fuzz target found it.
    {"TableHeaderWithoutAKey",
     "[ = banners]\n1 = \"set-banner.bmp\"\n",
     kExitUsage,
     {"line 1, column 3: Error while parsing key: expected bare key starting character or string "
      "delimiter, saw '='"}},
    {"PinThatIsNoHash",
     "[patterns]\n0 = { file = \"set-pattern.tst\", sha256 = \"8592fd\" }\n",
     kExitUsage,
     {"patterns.0.sha256: must be a SHA-256: 64 hexadecimal digits in quotes"}},
    {"FitOnAPattern",
     "[patterns]\n0 = { file = \"set-pattern.tst\", fit = \"crop\" }\n",
     kExitUsage,
     {"patterns.0.fit: unknown key (expected file and sha256)"}},
    {"RetriesOutOfRange",
     "retries = 6\n[patterns]\n0 = \"set-pattern.tst\"\n",
     kExitUsage,
     {"retries: must be a whole number from 0 to 5"}},
    // The pin is the hash of 2880 bytes of 0x34, the file holds 0x33 (sha256sum of each).
    {"PinnedFileChanged",
     "[patterns]\n0 = { file = \"set-pattern.tst\", sha256 = "
     "\"fa4fe00073ef33b49ebcb0e2d3d6d563dea6af09c4d453e27deeeefa804e806e\" }\n",
     kExitRefused,
     {"patterns.0: {dir}/set-pattern.tst: its SHA-256 is "
      "8592fdc8fd576a8ca72965ebd496b52f57f26be54465867957eff28277c58193, but the set pins "
      "fa4fe00073ef33b49ebcb0e2d3d6d563dea6af09c4d453e27deeeefa804e806e; it was changed after it "
      "was pinned"}},
    {"LevelAboveZero",
     "[audio]\ntones = [\"1000Hz\", \"1000Hz\", \"50Hz\", \"Silence\"]\n"
     "levels = [-6, 0, 0.5, \"-1\"]\n",
     kExitRefused,
     {"audio.levels[2]: Ch 3's Amplitude Must be a negative value"}},
};

TEST_P(ContentSetTest, IsRefusedWithEveryProblemNamedBeforeAnythingIsSent) {
  WriteFile("set-banner.bmp", MakeBmp(72));
  WriteFile("set-pattern.tst", std::vector<uint8_t>(2880, 0x33));
  const BadSet& bad = GetParam();
  const std::string set = WriteSet(bad.name, bad.toml);
  const ToolRun run = Load({"--all-units", "--set", set});
  EXPECT_EQ(run.status, bad.status);
  std::string expected;
  for (std::string problem : bad.problems) {
    if (const size_t at = problem.find("{dir}"); at != std::string::npos)
      problem.replace(at, 5, TempDir());
    expected += "qvx5120-load: " + set + ": " + problem + "\n";
  }
  EXPECT_EQ(run.err, expected + "qvx5120-load: nothing was sent to the generator\n");
  EXPECT_EQ(run.calls, Lines{});
}

INSTANTIATE_TEST_SUITE_P(BadSets, ContentSetTest, ::testing::ValuesIn(kBadSets),
                         [](const auto& info) { return std::string(info.param.name); });

using ExampleSetTest = CliTest;

TEST_F(ExampleSetTest, LoadsTheSameAsTheEquivalentCommandLine) {
  const std::string samples = QVX_SAMPLES_DIR;
  const ToolRun from_set = Load({"--set", samples + "/production-line.toml"});
  ASSERT_EQ(from_set.status, kExitCompleted) << from_set.err;
  const std::vector<uint8_t> set_flash = FlashCopy();

  ResetGenerator();
  const std::string banner = samples + "/test-banner.bmp";
  const ToolRun from_line = Load({"banner",
                                  "1",
                                  banner,
                                  "erase",
                                  "banner",
                                  "8",
                                  "countdown",
                                  banner,
                                  "pattern",
                                  "0",
                                  samples + "/test-pattern.tst",
                                  "audio",
                                  "1000Hz",
                                  "-18",
                                  "1000Hz",
                                  "-18",
                                  "Silence",
                                  "0",
                                  "400Hz",
                                  "-20.5"});
  ASSERT_EQ(from_line.status, kExitCompleted) << from_line.err;
  EXPECT_EQ(from_set.calls, from_line.calls);
  EXPECT_TRUE(set_flash == FlashCopy());
  EXPECT_FALSE(AllErased(set_flash));
}

// --pin writes the set with each file pinned by the hash of its bytes; that output loads as it
// stands, and once a pinned file changes, the set is refused before the generator is opened.
TEST_F(ExampleSetTest, PinnedSetLoadsAsItStandsAndRefusesAChangedFile) {
  WriteFile("pin-pattern.tst", std::vector<uint8_t>(2880, 0x33));
  WriteFile("pin-banner.bmp", MakeBmp(72));
  const std::string set = TempDir() + "/to-pin.toml";
  std::ofstream(set) << "retries = 2\n[patterns]\n3 = \"pin-pattern.tst\"\n"
                        "[banners]\n2 = { file = \"pin-banner.bmp\" }\n";
  const ToolRun pin = Load({"--pin", set});
  ASSERT_EQ(pin.status, kExitCompleted) << pin.err;
  EXPECT_EQ(pin.calls, Lines{});
  // The hash of 2880 bytes of 0x33, as sha256sum gives it.
  EXPECT_NE(pin.out.find("3 = { file = 'pin-pattern.tst', sha256 = "
                         "'8592fdc8fd576a8ca72965ebd496b52f57f26be54465867957eff28277c58193' }"),
            std::string::npos)
      << pin.out;
  EXPECT_NE(pin.out.find("retries = 2"), std::string::npos) << pin.out;
  const cli::ContentSet pinned = cli::ReadContentSetText(pin.out, TempDir());
  ASSERT_EQ(pinned.steps.size(), 2u);
  for (const cli::LoadStep& step : pinned.steps)
    EXPECT_EQ(step.pinned_sha256.size(), 64u) << step.file;
  EXPECT_EQ(pinned.retries, 2);

  const std::string approved = TempDir() + "/approved.toml";
  std::ofstream(approved) << pin.out;
  const ToolRun load = Load({"--set", approved});
  EXPECT_EQ(load.status, kExitCompleted) << load.err;

  ResetGenerator();
  WriteFile("pin-pattern.tst", std::vector<uint8_t>(2880, 0x34));
  const ToolRun changed = Load({"--set", approved});
  EXPECT_EQ(changed.status, kExitRefused);
  EXPECT_NE(changed.err.find("patterns.3: " + TempDir() +
                             "/pin-pattern.tst: its SHA-256 is "
                             "fa4fe00073ef33b49ebcb0e2d3d6d563dea6af09c4d453e27deeeefa804e806e, "
                             "but the set pins 8592fdc8"),
            std::string::npos)
      << changed.err;
  EXPECT_EQ(changed.calls, Lines{});
}

// The text of a set read with its folder makes the steps its file makes; a syntax error in it is
// placed the same way.
TEST_F(ExampleSetTest, ReadsTheSameFromItsTextAsFromItsFile) {
  const std::string samples = QVX_SAMPLES_DIR;
  std::ifstream in(samples + "/production-line.toml");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const cli::ContentSet from_file = cli::ReadContentSet(samples + "/production-line.toml");
  EXPECT_EQ(cli::ReadContentSetText(text, samples).steps, from_file.steps);
  EXPECT_EQ(from_file.steps.front().file, samples + "/test-banner.bmp");
  try {
    cli::ReadContentSetText("[banners]\n1 = \"a.bmp\" x\n", samples);
    ADD_FAILURE() << "a set with a syntax error was read";
  } catch (const cli::ContentSetError& error) {
    EXPECT_TRUE(error.malformed());
    EXPECT_EQ(std::string(error.what()).substr(0, 19), "line 2, column 13: ");
  }
}

// A multi-line file name continued after a line-ending backslash with a character outside ASCII:
// toml++ 3.3 asked whether it was whitespace with undefined behaviour (upstream report #190).
TEST_F(ExampleSetTest, ReadsANameOutsideAsciiAfterALineEndingBackslash) {
  WriteFile("\xC3\xA9t\xC3\xA9.bmp", MakeBmp(72));
  const std::string set = TempDir() + "/non-ascii.toml";
  std::ofstream(set) << "[banners]\n1 = \"\"\"\\\n    \xC3\xA9t\xC3\xA9.bmp\"\"\"\n";
  const ToolRun run = Load({"--set", set});
  ASSERT_EQ(run.status, kExitCompleted) << run.err;
  EXPECT_FALSE(AllErased(FlashCopy()));
}

}  // namespace
}  // namespace qvx::test
