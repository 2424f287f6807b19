// Units another program holds, units that refuse to be opened for a moment after they are
// plugged in, and what the device information list says of each plug: the "opened" flag (this
// process, QVX_VG_HELD, or another process holding the unit's lock) and the attachment token in
// its handle field. Also the versions and the latency timer the doctor asks for.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "tests/emulator/emu_fixture.h"
#include "tests/support/rack_file.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

using namespace std::chrono_literals;

class EmuHeld : public EmuTest {
 protected:
  void TearDown() override {
    for (const char* name :
         {"QVX_VG_HELD", "QVX_VG_OPEN_REFUSED_MS", "QVX_VG_FAULT_UNIT", "QVX_VG_RACK"}) {
      unsetenv(name);
    }
    setenv("QVX_VG_FLASH", "none", 1);
    vg_.Reset();
  }

  // Every way a host opens a unit, for listed unit `index` (0-based) of QVX_VG_UNITS.
  std::vector<d2xx::Status> EveryOpen(int index) {
    std::vector<d2xx::Status> statuses;
    std::string serial = "QVX0000" + std::to_string(index + 1);
    char description[] = "QVX5120I1";
    d2xx::Handle handle = nullptr;
    // Each open that succeeds is closed again before the next.
    const auto tried = [&](d2xx::Status status) {
      if (status == d2xx::FT_OK)
        host_.FT_Close(handle);
      statuses.push_back(status);
    };
    tried(host_.FT_Open(index, &handle));
    tried(host_.FT_OpenEx(serial.data(), d2xx::FT_OPEN_BY_SERIAL_NUMBER, &handle));
    tried(host_.OpenAt(static_cast<d2xx::Dword>(0x11 + index), &handle));
    if (index == 0)
      tried(host_.FT_OpenEx(description, d2xx::FT_OPEN_BY_DESCRIPTION, &handle));
    return statuses;
  }

  std::vector<d2xx::Dword> Flags() {
    std::vector<d2xx::Dword> flags;
    for (const auto& entry : host_.List())
      flags.push_back(entry.flags);
    return flags;
  }

  std::vector<d2xx::Handle> Tokens() {
    std::vector<d2xx::Handle> tokens;
    for (const auto& entry : host_.List())
      tokens.push_back(entry.handle);
    return tokens;
  }

  template <typename Fn>
  Fn Symbol(const char* name) {
    return EmuHost::Bind<Fn>(vg_.library(), name);
  }
};

using Statuses = std::vector<d2xx::Status>;
constexpr d2xx::Status kOk = d2xx::FT_OK;
// FTDI's library refuses an open of a device that is already open with this status.
constexpr d2xx::Status kInUse = d2xx::FT_DEVICE_NOT_OPENED;

TEST_F(EmuHeld, AHeldUnitIsListedOpenedAndRefusesEveryOpen) {
  setenv("QVX_VG_HELD", "QVX00003,QVX00002", 1);
  vg_.SetUnits(3);
  EXPECT_EQ(Flags(), (std::vector<d2xx::Dword>{0, 1, 1}));
  EXPECT_EQ(host_.ListedSerials(), (std::vector<std::string>{"QVX00001", "QVX00002", "QVX00003"}));
  EXPECT_EQ(EveryOpen(0), (Statuses{kOk, kOk, kOk, kOk}));
  EXPECT_EQ(EveryOpen(1), (Statuses{kInUse, kInUse, kInUse}));
  EXPECT_EQ(EveryOpen(2), (Statuses{kInUse, kInUse, kInUse}));
  ASSERT_TRUE(vg_.SelectUnit(1));
  EXPECT_TRUE(vg_.Wire().empty());

  // A list of its own: the fault unit does not narrow it, and a serial number must match whole.
  setenv("QVX_VG_HELD", "QVX0000,QVX000011", 1);
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  vg_.SetUnits(2);
  EXPECT_EQ(Flags(), (std::vector<d2xx::Dword>{0, 0}));
  setenv("QVX_VG_HELD", "QVX00001", 1);
  vg_.SetUnits(2);
  EXPECT_EQ(Flags(), (std::vector<d2xx::Dword>{1, 0}));
}

TEST_F(EmuHeld, AUnitOpenInThisProcessIsListedOpened) {
  vg_.SetUnits(2);
  d2xx::Handle handle = nullptr;
  ASSERT_EQ(host_.OpenAt(0x12, &handle), kOk);
  EXPECT_EQ(Flags(), (std::vector<d2xx::Dword>{0, 1}));
  host_.FT_Close(handle);
  EXPECT_EQ(Flags(), (std::vector<d2xx::Dword>{0, 0}));
}

TEST_F(EmuHeld, AUnitAnotherProcessHoldsIsListedOpenedUntilItLetsGo) {
  const std::string flash = TempDir() + "/held-elsewhere.bin";
  std::filesystem::remove(flash);
  setenv("QVX_VG_FLASH", flash.c_str(), 1);
  vg_.SetUnits(2);
  int opened[2], release[2];
  ASSERT_EQ(pipe(opened), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The other program: opens QVX00002 and holds it until told to let go (the parent closes
    // its end of the pipe).
    close(release[1]);
    char serial[] = "QVX00002";
    d2xx::Handle handle = nullptr;
    const char status =
        static_cast<char>(host_.FT_OpenEx(serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &handle));
    (void)!write(opened[1], &status, 1);
    char byte = 0;
    (void)!read(release[0], &byte, 1);
    _exit(0);
  }
  char status = -1;
  ASSERT_EQ(read(opened[0], &status, 1), 1);
  EXPECT_EQ(status, kOk);
  EXPECT_EQ(Flags(), (std::vector<d2xx::Dword>{0, 1}));
  EXPECT_EQ(EveryOpen(1), (Statuses{kInUse, kInUse, kInUse}));
  close(release[1]);
  int child_status = 0;
  waitpid(child, &child_status, 0);
  EXPECT_EQ(Flags(), (std::vector<d2xx::Dword>{0, 0}));
  EXPECT_EQ(EveryOpen(1), (Statuses{kOk, kOk, kOk}));
  for (int fd : {opened[0], opened[1], release[0]})
    close(fd);
  vg_.SetUnits(1);  // lets go of the files
  std::filesystem::remove(flash + ".QVX00002");
  std::filesystem::remove(flash + ".QVX00002.lock");
}

TEST_F(EmuHeld, TheHandleOfTheListIsATokenOfThePlug) {
  vg_.SetUnits(2);
  const auto first = Tokens();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_NE(first[0], nullptr);
  EXPECT_NE(first[1], nullptr);
  EXPECT_NE(first[0], first[1]);
  // Open or not, the unit stays plugged in: the same token.
  d2xx::Handle handle = nullptr;
  ASSERT_EQ(host_.OpenAt(0x11, &handle), kOk);
  EXPECT_NE(handle, first[0]) << "a token is no handle";
  EXPECT_EQ(Tokens(), first);
  host_.FT_Close(handle);
  EXPECT_EQ(Tokens(), first);
  // Every reset plugs the units in afresh.
  vg_.SetUnits(2);
  const auto second = Tokens();
  EXPECT_NE(second[0], first[0]);
  EXPECT_NE(second[1], first[1]);
  EXPECT_NE(second[0], second[1]);
}

TEST_F(EmuHeld, ARackLinePluggedAgainHasANewToken) {
  TestRack rack("rack-token", {"QVX00007 1-4.1", "QVX00008 1-4.2"});
  vg_.Reset();
  const auto first = Tokens();
  ASSERT_EQ(first.size(), 2u);
  // QVX00008 pulled and plugged in again between two lists, at the same port.
  rack.Write({"QVX00007 1-4.1"});
  ASSERT_EQ(Tokens().size(), 1u);
  rack.Write({"QVX00007 1-4.1", "QVX00008 1-4.2"});
  const auto second = Tokens();
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(second[0], first[0]);
  EXPECT_NE(second[1], first[1]);
  EXPECT_NE(second[1], nullptr);
}

TEST_F(EmuHeld, OpensAreRefusedForAMomentAfterThePlug) {
  setenv("QVX_VG_OPEN_REFUSED_MS", "300", 1);
  setenv("QVX_VG_FAULT_UNIT", "QVX00002", 1);
  vg_.SetUnits(2);
  // The process's first listing is the plug: listed as any unit, not opened.
  EXPECT_EQ(Flags(), (std::vector<d2xx::Dword>{0, 0}));
  const auto plugged = std::chrono::steady_clock::now();
  EXPECT_EQ(EveryOpen(1), (Statuses{kInUse, kInUse, kInUse}));
  EXPECT_EQ(EveryOpen(0), (Statuses{kOk, kOk, kOk, kOk}));
  std::this_thread::sleep_until(plugged + 350ms);
  EXPECT_EQ(EveryOpen(1), (Statuses{kOk, kOk, kOk}));
}

TEST_F(EmuHeld, ARackUnitRefusesOpensFromItsLineAppearing) {
  setenv("QVX_VG_OPEN_REFUSED_MS", "300", 1);
  TestRack rack("rack-refused", {"QVX00007 1-4.1"});
  vg_.Reset();
  d2xx::Handle handle = nullptr;
  EXPECT_EQ(host_.OpenAt(0x141, &handle), kInUse);
  std::this_thread::sleep_for(350ms);
  ASSERT_EQ(host_.OpenAt(0x141, &handle), kOk);
  host_.FT_Close(handle);
  // A line appearing later is a plug of its own, refused from then on.
  rack.Write({"QVX00007 1-4.1", "QVX00008 1-4.2"});
  EXPECT_EQ(host_.OpenAt(0x142, &handle), kInUse);
  ASSERT_EQ(host_.OpenAt(0x141, &handle), kOk);
  host_.FT_Close(handle);
}

TEST_F(EmuHeld, VersionsAndTheLatencyTimer) {
  // FTDI writes its versions two decimal digits a byte: 3.01.15 is 0x00030115.
  EXPECT_EQ(d2xx::VersionNumber("3.01.15"), 0x00030115u);
  EXPECT_EQ(d2xx::VersionNumber("2.12.36"), 0x00021236u);
  EXPECT_EQ(d2xx::VersionNumber("1.0"), 0x00010000u);
  const auto library_version = Symbol<d2xx::GetLibraryVersionFn>("FT_GetLibraryVersion");
  const auto driver_version = Symbol<d2xx::GetDriverVersionFn>("FT_GetDriverVersion");
  const auto latency_timer = Symbol<d2xx::GetLatencyTimerFn>("FT_GetLatencyTimer");
  ASSERT_NE(library_version, nullptr);
  ASSERT_NE(driver_version, nullptr);
  ASSERT_NE(latency_timer, nullptr);
  d2xx::Dword version = 0;
  ASSERT_EQ(library_version(&version), kOk);
  EXPECT_EQ(version, d2xx::VersionNumber(QVX_VERSION));
  EXPECT_EQ(library_version(nullptr), d2xx::FT_INVALID_PARAMETER);

  unsigned char latency = 99;
  EXPECT_EQ(latency_timer(nullptr, &latency), d2xx::FT_INVALID_HANDLE);
  ASSERT_EQ(host_.Open(), kOk);
  vg_.SetOption("latency_ms", 16);
  ASSERT_EQ(latency_timer(host_.handle, &latency), kOk);
  EXPECT_EQ(latency, 16);
  vg_.SetOption("latency_ms", 1000);
  ASSERT_EQ(latency_timer(host_.handle, &latency), kOk);
  EXPECT_EQ(latency, 255) << "the chip's timer holds a byte";
  version = 0;
  ASSERT_EQ(driver_version(host_.handle, &version), kOk);
  EXPECT_EQ(version, d2xx::VersionNumber(QVX_VERSION));
  host_.FT_Close(host_.handle);
}

}  // namespace
}  // namespace qvx::test
