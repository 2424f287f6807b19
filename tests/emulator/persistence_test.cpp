// The flash file: content survives a reset and a new open, a missing or wrong-sized file starts
// erased, "none" keeps the flash in memory, and the default path follows XDG_STATE_HOME.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "tests/emulator/emu_fixture.h"

namespace qvx::test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kFlashBytes = 4u * 1024 * 1024;

// Sets or clears an environment variable for one test and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name))
      old_ = old;
    value != nullptr ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class EmuPersistence : public EmuTest {
 protected:
  void SetUp() override {
    EmuTest::SetUp();
    dir_ = fs::path(::testing::TempDir()) / ("emu-flash-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    vg_.SetFlashFile("");
    fs::remove_all(dir_);
  }

  std::vector<uint8_t> ReadFile(const fs::path& path) const {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }

  void WriteBlockAt(uint32_t unit, uint8_t value) {
    host_.SetAddress(unit);
    host_.Block(EmuHost::FilledBlock(value));
  }

  fs::path dir_;
};

TEST_F(EmuPersistence, ContentSurvivesAResetThroughTheFile) {
  const auto path = dir_ / "flash.bin";
  ScopedEnv flash("QVX_VG_FLASH", path.c_str());
  vg_.Reset();
  EXPECT_FALSE(fs::exists(path)) << "nothing is written before the flash changes";
  OpenLoading();
  WriteBlockAt(0x100000, 0x42);

  const auto file = ReadFile(path);
  ASSERT_EQ(file.size(), kFlashBytes);
  EXPECT_EQ(file[2 * 0x100000], 0x42);
  EXPECT_EQ(file[2 * 0x100000 + 1439], 0x42);
  EXPECT_EQ(file[2 * 0x100000 + 1440], 0xFF);

  vg_.Reset();
  EXPECT_EQ(Units(0x100000, 720), Bytes(1440, 0x42));
  OpenLoading();
  host_.Erase(0x100000);
  EXPECT_EQ(ReadFile(path)[2 * 0x100000], 0xFF);
  vg_.Reset();
  EXPECT_EQ(Units(0x100000, 720), Bytes(1440, 0xFF));
}

TEST_F(EmuPersistence, EachOpenReadsTheFileAgain) {
  const auto path = dir_ / "flash.bin";
  vg_.SetFlashFile(path.string());
  OpenLoading();
  WriteBlockAt(0x008000, 0x00);
  ASSERT_EQ(host_.FT_Close(host_.handle), d2xx::FT_OK);

  // Another process changes the file while the device is closed.
  auto image = ReadFile(path);
  image[2 * 0x008000] = 0x5C;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));
  EXPECT_EQ(ByteAt(2 * 0x008000), 0x00);
  ASSERT_EQ(host_.Open(), d2xx::FT_OK);
  EXPECT_EQ(ByteAt(2 * 0x008000), 0x5C);
}

TEST_F(EmuPersistence, AWrongSizedFileStartsErasedAndIsReplacedWhole) {
  const auto path = dir_ / "flash.bin";
  std::ofstream(path, std::ios::binary) << "not a flash image";
  vg_.SetFlashFile(path.string());
  const auto flash = vg_.Flash();
  EXPECT_EQ(std::count(flash.begin(), flash.end(), 0xFF), static_cast<long>(kFlashBytes));
  OpenLoading();
  WriteBlockAt(0x000000, 0x01);
  const auto file = ReadFile(path);
  ASSERT_EQ(file.size(), kFlashBytes);
  EXPECT_EQ(file[0], 0x01);
  EXPECT_EQ(file[1440], 0xFF);
}

TEST_F(EmuPersistence, NoneKeepsTheFlashInMemoryOnly) {
  ScopedEnv flash("QVX_VG_FLASH", "none");
  ScopedEnv state("XDG_STATE_HOME", dir_.c_str());
  vg_.Reset();
  OpenLoading();
  WriteBlockAt(0x000000, 0x01);
  EXPECT_EQ(ByteAt(0), 0x01);
  EXPECT_TRUE(fs::is_empty(dir_));
  vg_.Reset();
  EXPECT_EQ(ByteAt(0), 0xFF);
}

TEST_F(EmuPersistence, DefaultPathUnderXdgStateHomeThenHome) {
  ScopedEnv flash("QVX_VG_FLASH", nullptr);
  {
    ScopedEnv state("XDG_STATE_HOME", (dir_ / "state").c_str());
    vg_.Reset();
    OpenLoading();
    WriteBlockAt(0x000000, 0x02);
    EXPECT_EQ(ReadFile(dir_ / "state" / "qvx5120" / "virtual-generator-flash.bin").size(),
              kFlashBytes);
  }
  ScopedEnv state("XDG_STATE_HOME", nullptr);
  ScopedEnv home("HOME", (dir_ / "home").c_str());
  vg_.Reset();
  OpenLoading();
  WriteBlockAt(0x000000, 0x03);
  const auto file =
      ReadFile(dir_ / "home" / ".local" / "state" / "qvx5120" / "virtual-generator-flash.bin");
  ASSERT_EQ(file.size(), kFlashBytes);
  EXPECT_EQ(file[0], 0x03);
}

}  // namespace
}  // namespace qvx::test
