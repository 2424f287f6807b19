// A rack of generators (QVX_VG_RACK): the units attached are the lines of a file that the test
// rewrites as it plugs and pulls them. A pulled unit's calls fail as an unplugged one's, its
// handle stays dead, and a line that comes back is a fresh plug with the serial number's flash.
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/emulator/emu_fixture.h"
#include "tests/support/rack_file.h"
#include "tests/support/test_files.h"

namespace qvx::test {
namespace {

using namespace std::chrono_literals;

using Attached = std::vector<std::pair<std::string, d2xx::Dword>>;

class EmuRack : public EmuTest {
 protected:
  // The rack holds `lines`, and the generator follows it from now on.
  void Plug(const std::vector<std::string>& lines) {
    rack_.Write(lines);
    vg_.Reset();
  }

  // Serial number and location of every listed unit, in order.
  Attached Listing() {
    Attached units;
    for (const auto& entry : host_.List())
      units.emplace_back(entry.serial, entry.location);
    return units;
  }

  d2xx::Handle OpenAt(d2xx::Dword location) {
    d2xx::Handle handle = nullptr;
    EXPECT_EQ(host_.OpenAt(location, &handle), d2xx::FT_OK) << std::hex << location;
    return handle;
  }

  d2xx::Status WriteOn(d2xx::Handle handle, std::vector<uint8_t> bytes,
                       d2xx::Dword* written = nullptr) {
    host_.handle = handle;
    return host_.Write(std::move(bytes), written);
  }

  // Writes a block of `value` at `unit` of the flash through `handle`.
  void Program(d2xx::Handle handle, uint32_t unit, uint8_t value) {
    host_.handle = handle;
    host_.Write({kBeginLoad});
    host_.SetAddress(unit);
    host_.Block(EmuHost::FilledBlock(value));
    host_.Write({kEndLoad});
  }

  // The flash of listed unit `index`, as many bytes from `offset` as a block programs.
  std::vector<uint8_t> FlashOf(int index, size_t offset) {
    EXPECT_TRUE(vg_.SelectUnit(index)) << index;
    const auto flash = vg_.Flash();
    if (flash.size() < offset + 1440)
      return {};
    return {flash.begin() + static_cast<long>(offset),
            flash.begin() + static_cast<long>(offset + 1440)};
  }

  TestRack rack_{"rack-" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
};

TEST_F(EmuRack, ListsTheFileInItsOrderAtItsPorts) {
  rack_.WriteText(
      "# station A, left to right\n"
      "\n"
      "QVX00007 1-4.2\n"
      "   \t\n"
      "  # a socket out of use\n"
      "QVX00003\t1-1\r\n"
      "SN-0815 2-3.1.15\n");
  vg_.Reset();
  EXPECT_EQ(Listing(), (Attached{{"QVX00007", 0x142}, {"QVX00003", 0x11}, {"SN-0815", 0x231F}}));
  EXPECT_EQ(host_.ListedSerials(), (std::vector<std::string>{"QVX00007", "QVX00003", "SN-0815"}));
}

TEST_F(EmuRack, MalformedLinesAreIgnored) {
  const char* malformed[] = {
      "QVX00009",                    // no port
      "QVX00009 1-2 spare",          // a third field
      "QVX00009 1-0",                // port 0
      "QVX00009 0-2",                // bus 0
      "QVX00009 1-16",               // not one hex digit
      "QVX00009 1",                  // a bus alone
      "QVX00009 1.2",                // the bus is followed by '-'
      "QVX00009 1-2-3",              // ... and each port by '.'
      "QVX00009 1-1.1.1.1.1.1.1.1",  // eight ports: more than a location id holds
      "QVX00009 one-two",            // not numbers
      "QVX0000900000000 1-2",        // a serial number longer than D2XX lists (15)
      "\x01\xfe\xff 1-2 \x7f",       // bytes of no meaning
      "1-2 QVX00009",                // the fields swapped
      "QVX00011 1-1",                // a second line for a port: the first one wins
  };
  for (const char* line : malformed) {
    rack_.Write({"QVX00001 1-1", line, "QVX00010 1-3"});
    vg_.Reset();
    EXPECT_EQ(Listing(), (Attached{{"QVX00001", 0x11}, {"QVX00010", 0x13}})) << line;
  }
  // A file of nothing but noise, an empty one and none at all attach no unit.
  for (const std::string& text :
       {std::string("\n\n###\n"), std::string(), std::string("\0\0 \xff", 4)}) {
    rack_.WriteText(text);
    vg_.Reset();
    EXPECT_TRUE(Listing().empty()) << text;
    d2xx::Handle handle = nullptr;
    EXPECT_EQ(host_.Open(), d2xx::FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(host_.FT_Open(0, &handle), d2xx::FT_DEVICE_NOT_FOUND);
  }
  rack_.Remove();
  vg_.Reset();
  EXPECT_TRUE(Listing().empty());
}

TEST_F(EmuRack, TheSameSerialTwiceIsTwoUnitsEachWithItsOwnFlash) {
  Plug({"QVX00005 1-1", "QVX00005 1-2"});
  EXPECT_EQ(Listing(), (Attached{{"QVX00005", 0x11}, {"QVX00005", 0x12}}));
  const d2xx::Handle first = OpenAt(0x11);
  const d2xx::Handle second = OpenAt(0x12);
  ASSERT_NE(first, second);
  Program(second, 0x010000, 0x5A);
  EXPECT_EQ(FlashOf(1, 0x20000), Bytes(1440, 0x5A));
  EXPECT_EQ(FlashOf(0, 0x20000), Bytes(1440, 0xFF));
}

TEST_F(EmuRack, APulledUnitFailsAsUnpluggedAndItsHandleStaysDead) {
  Plug({"QVX00001 1-1", "QVX00002 1-2"});
  const d2xx::Handle pulled = OpenAt(0x11);
  const d2xx::Handle other = OpenAt(0x12);
  ASSERT_EQ(WriteOn(pulled, {kBeginLoad}), d2xx::FT_OK);

  rack_.Write({"QVX00002 1-2"});
  EXPECT_EQ(Listing(), (Attached{{"QVX00002", 0x12}}));
  // Every call over the link fails, as after QVX_VG_UNPLUG_AFTER; the others still succeed.
  d2xx::Dword written = 99;
  EXPECT_EQ(WriteOn(pulled, {kEndLoad}, &written), d2xx::FT_IO_ERROR);
  EXPECT_EQ(written, 0u);
  uint8_t byte = 0;
  d2xx::Dword got = 99;
  EXPECT_EQ(host_.FT_Read(pulled, &byte, 1, &got), d2xx::FT_IO_ERROR);
  EXPECT_EQ(got, 0u);
  d2xx::Dword queued = 99;
  EXPECT_EQ(host_.FT_GetQueueStatus(pulled, &queued), d2xx::FT_IO_ERROR);
  EXPECT_EQ(host_.FT_Purge(pulled, d2xx::FT_PURGE_RX), d2xx::FT_IO_ERROR);
  EXPECT_EQ(host_.FT_SetTimeouts(pulled, 100, 0), d2xx::FT_OK);
  EXPECT_EQ(host_.FT_ResetDevice(pulled), d2xx::FT_OK);
  d2xx::Handle none = nullptr;
  EXPECT_EQ(host_.OpenAt(0x11, &none), d2xx::FT_DEVICE_NOT_FOUND);
  char serial[] = "QVX00001";
  EXPECT_EQ(host_.FT_OpenEx(serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &none),
            d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(WriteOn(other, {kBeginLoad}), d2xx::FT_OK) << "the unit left in the rack goes on";

  // The line comes back: a fresh plug, opened with a new handle; the old one stays dead.
  rack_.Write({"QVX00001 1-1", "QVX00002 1-2"});
  EXPECT_EQ(Listing(), (Attached{{"QVX00001", 0x11}, {"QVX00002", 0x12}}));
  EXPECT_EQ(WriteOn(pulled, {kEndLoad}), d2xx::FT_IO_ERROR);
  const d2xx::Handle fresh = OpenAt(0x11);
  EXPECT_NE(fresh, pulled);
  EXPECT_EQ(WriteOn(fresh, {kBeginLoad}), d2xx::FT_OK);
  EXPECT_EQ(WriteOn(pulled, {kEndLoad}), d2xx::FT_IO_ERROR);
  EXPECT_EQ(host_.FT_Close(pulled), d2xx::FT_OK);
  EXPECT_EQ(host_.FT_Close(pulled), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(WriteOn(pulled, {kEndLoad}), d2xx::FT_INVALID_HANDLE);
  ASSERT_TRUE(vg_.SelectUnit(0));
  EXPECT_EQ(VirtualGenerator::Hex(vg_.Wire()), "F0") << "only the fresh plug's byte";
  EXPECT_TRUE(vg_.InLoadingMode());
}

TEST_F(EmuRack, AFreshPlugKeepsItsSerialNumbersFlash) {
  struct Row {
    const char* name;
    bool in_file;
  };
  for (const Row row : {Row{"in memory", false}, Row{"in files", true}}) {
    SCOPED_TRACE(row.name);
    const std::string folder = TempDir() + "/rack-flash-" + (row.in_file ? "file" : "memory");
    std::filesystem::create_directories(folder);
    const std::string main_file = folder + "/virtual-generator-flash.bin";
    setenv("QVX_VG_FLASH", row.in_file ? main_file.c_str() : "none", 1);
    Plug({"QVX00001 1-1", "SN-7 1-2"});
    Program(OpenAt(0x11), 0x010000, 0x11);
    Program(OpenAt(0x12), 0x010000, 0x22);

    // Pulled, then back: at its own port, and at another.
    rack_.Write({"QVX00001 1-1"});
    EXPECT_EQ(Listing(), (Attached{{"QVX00001", 0x11}}));
    rack_.Write({"SN-7 1-3", "QVX00001 1-1"});
    EXPECT_EQ(Listing(), (Attached{{"SN-7", 0x13}, {"QVX00001", 0x11}}));
    EXPECT_EQ(FlashOf(0, 0x20000), Bytes(1440, 0x22));
    EXPECT_EQ(FlashOf(1, 0x20000), Bytes(1440, 0x11));
    // Another serial number at the same port has a flash of its own.
    rack_.Write({"SN-8 1-3", "QVX00001 1-1"});
    EXPECT_EQ(Listing(), (Attached{{"SN-8", 0x13}, {"QVX00001", 0x11}}));
    EXPECT_EQ(FlashOf(0, 0x20000), Bytes(1440, 0xFF));
    if (row.in_file) {
      // Unit 1's serial number keeps the main file, another one a file named by its serial.
      EXPECT_TRUE(std::filesystem::exists(main_file));
      EXPECT_TRUE(std::filesystem::exists(folder + "/virtual-generator-flash-SN-7.bin"));
    }
  }
  setenv("QVX_VG_FLASH", "none", 1);
}

TEST_F(EmuRack, APullIsNoticedWhileTheUnitIsInUse) {
  Plug({"QVX00001 1-1"});
  const d2xx::Handle handle = OpenAt(0x11);
  ASSERT_EQ(WriteOn(handle, {kBeginLoad}), d2xx::FT_OK);
  rack_.Write({});
  // No listing and no open: only the calls on the handle itself look at the file, at least every
  // 100 ms.
  std::this_thread::sleep_for(150ms);
  d2xx::Dword written = 99;
  EXPECT_EQ(WriteOn(handle, {kEndLoad}, &written), d2xx::FT_IO_ERROR);
  EXPECT_EQ(written, 0u);
}

TEST_F(EmuRack, AReadWaitingForAnswersNoticesThePull) {
  Plug({"QVX00001 1-1"});
  const d2xx::Handle handle = OpenAt(0x11);
  // Far longer than the test may take: the read ends with the pull, not with its time-out.
  ASSERT_EQ(host_.FT_SetTimeouts(handle, 5'000, 0), d2xx::FT_OK);
  std::thread pull([this] {
    std::this_thread::sleep_for(20ms);
    rack_.Write({});
  });
  uint8_t byte = 0;
  d2xx::Dword got = 99;
  const d2xx::Status status = host_.FT_Read(handle, &byte, 1, &got);
  pull.join();
  EXPECT_EQ(status, d2xx::FT_IO_ERROR);
  EXPECT_EQ(got, 0u);
}

TEST_F(EmuRack, FaultOptionsApplyToTheFaultUnitsSerialNumber) {
  setenv("QVX_VG_FAULT_UNIT", "SN-2", 1);
  setenv("QVX_VG_UNPLUG_AFTER", "0", 1);
  Plug({"SN-1 1-1", "SN-2 1-2", "SN-2 1-3"});
  // A unit plugged in later reads the environment then.
  rack_.Write({"SN-1 1-1", "SN-2 1-2", "SN-2 1-3", "SN-2 1-4"});
  struct Row {
    d2xx::Dword location;
    d2xx::Status status;
  };
  for (const Row row : {Row{0x11, d2xx::FT_OK}, Row{0x12, d2xx::FT_IO_ERROR},
                        Row{0x13, d2xx::FT_IO_ERROR}, Row{0x14, d2xx::FT_IO_ERROR}}) {
    EXPECT_EQ(WriteOn(OpenAt(row.location), {kBeginLoad}), row.status) << std::hex << row.location;
  }
  unsetenv("QVX_VG_UNPLUG_AFTER");
  unsetenv("QVX_VG_FAULT_UNIT");
}

TEST_F(EmuRack, ThePullIsInTheCaptureLog) {
  Plug({"QVX00001 1-1"});
  const d2xx::Handle handle = OpenAt(0x11);
  ASSERT_TRUE(vg_.SelectUnit(0));
  rack_.Write({});
  host_.List();
  WriteOn(handle, {kBeginLoad});
  host_.FT_Close(handle);
  // The selection stays on the pulled unit.
  EXPECT_EQ(vg_.Calls(), (std::vector<std::string>{"FT_OpenEx 0x11 4 -> 0", "FT_Write F0 -> 4 0",
                                                   "FT_Close -> 0"}));
}

}  // namespace
}  // namespace qvx::test
