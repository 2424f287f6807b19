// The open libftd2xx.so's entry points called directly, over the libusb double: what the loader
// never does on its own (several bridges, listing, bad handles) and what it needs to be exact
// (reads that wait, answers spread over several USB packets).
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

#include "device/d2xx.h"
#include "tests/support/session.h"

namespace qvx::test {
namespace {

using d2xx::Dword;
using d2xx::Handle;
using d2xx::Status;

// The ten entry points of the open library and the two of its device information list.
struct OpenDriver {
  OpenDriver() {
    void* library = dlopen(QVX_OPEN_DRIVER, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
      throw std::runtime_error(dlerror());
    auto bind = [library](auto& fn, const char* name) {
      fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(library, name));
      if (fn == nullptr)
        throw std::runtime_error(std::string("open driver lacks ") + name);
    };
    bind(Open, "FT_Open");
    bind(OpenEx, "FT_OpenEx");
    bind(ListDevices, "FT_ListDevices");
    bind(Close, "FT_Close");
    bind(Read, "FT_Read");
    bind(Write, "FT_Write");
    bind(ResetDevice, "FT_ResetDevice");
    bind(Purge, "FT_Purge");
    bind(SetTimeouts, "FT_SetTimeouts");
    bind(GetQueueStatus, "FT_GetQueueStatus");
    bind(CreateDeviceInfoList, "FT_CreateDeviceInfoList");
    bind(GetDeviceInfoDetail, "FT_GetDeviceInfoDetail");
  }

  Status WriteBytes(Handle handle, std::vector<uint8_t> bytes) const {
    Dword written = 0;
    const Status status = Write(handle, bytes.data(), static_cast<Dword>(bytes.size()), &written);
    return status == d2xx::FT_OK && written != bytes.size() ? d2xx::FT_IO_ERROR : status;
  }

  d2xx::OpenFn Open = nullptr;
  d2xx::OpenExFn OpenEx = nullptr;
  d2xx::ListDevicesFn ListDevices = nullptr;
  d2xx::CloseFn Close = nullptr;
  d2xx::ReadFn Read = nullptr;
  d2xx::WriteFn Write = nullptr;
  d2xx::ResetDeviceFn ResetDevice = nullptr;
  d2xx::PurgeFn Purge = nullptr;
  d2xx::SetTimeoutsFn SetTimeouts = nullptr;
  d2xx::GetQueueStatusFn GetQueueStatus = nullptr;
  d2xx::CreateDeviceInfoListFn CreateDeviceInfoList = nullptr;
  d2xx::GetDeviceInfoDetailFn GetDeviceInfoDetail = nullptr;
};

constexpr uint8_t kBeginLoad = 0xF0;
constexpr uint8_t kReadStatus = 0xFD;
char kDescription[] = "QVX5120I1";

class DriverCallsTest : public ::testing::Test {
 protected:
  void SetUp() override { usb.Reset(); }

  // The wire of unit `index` as hex.
  std::string WireOf(int index) const {
    EXPECT_TRUE(usb.SelectUnit(index));
    return Hex(usb.Wire());
  }

  GeneratorControl usb{QVX_USB_DOUBLE};
  OpenDriver ft;
};

struct ShortReadCase {
  const char* name;
  bool mute;
  Dword asked;
  Dword expected;
};

void PrintTo(const ShortReadCase& c, std::ostream* out) {
  *out << c.name;
}

class ShortReadTest : public DriverCallsTest,
                      public ::testing::WithParamInterface<ShortReadCase> {};

TEST_P(ShortReadTest, ReadWaitsOutItsTimeOutAndReportsWhatArrived) {
  usb.SetOption("mute", GetParam().mute ? 1 : 0);
  Handle handle = nullptr;
  ASSERT_EQ(ft.OpenEx(kDescription, d2xx::FT_OPEN_BY_DESCRIPTION, &handle), d2xx::FT_OK);
  constexpr Dword kTimeoutMs = 100;
  ASSERT_EQ(ft.SetTimeouts(handle, kTimeoutMs, 0), d2xx::FT_OK);
  ASSERT_EQ(ft.WriteBytes(handle, {kBeginLoad, kReadStatus}), d2xx::FT_OK);

  uint8_t buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  Dword received = 99;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ft.Read(handle, buffer, GetParam().asked, &received), d2xx::FT_OK);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(received, GetParam().expected);
  // Fewer bytes than asked means the whole time-out was spent waiting for the rest.
  EXPECT_GE(waited, std::chrono::milliseconds(kTimeoutMs));
  EXPECT_EQ(buffer[0], GetParam().expected == 1 ? 1 : 0xAA);
  EXPECT_EQ(ft.Close(handle), d2xx::FT_OK);
}

INSTANTIATE_TEST_SUITE_P(Read, ShortReadTest,
                         ::testing::Values(ShortReadCase{"MuteGeneratorGivesNothing", true, 1, 0},
                                           ShortReadCase{"OneAnswerOfThreeAsked", false, 3, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverCallsTest, AnswersSpreadOverSeveralPacketsArriveWholeAndInOrder) {
  // 150 answers need three 64-byte packets, each opened by two status bytes.
  std::vector<uint8_t> answers(150);
  for (size_t i = 0; i < answers.size(); ++i)
    answers[i] = static_cast<uint8_t>(i + 1);
  usb.SetStatusAnswers(answers);
  Handle handle = nullptr;
  ASSERT_EQ(ft.Open(0, &handle), d2xx::FT_OK);
  std::vector<uint8_t> polls(1 + answers.size(), kReadStatus);
  polls[0] = kBeginLoad;
  ASSERT_EQ(ft.WriteBytes(handle, polls), d2xx::FT_OK);

  Dword waiting = 0;
  EXPECT_EQ(ft.GetQueueStatus(handle, &waiting), d2xx::FT_OK);
  EXPECT_EQ(waiting, answers.size());
  std::vector<uint8_t> got(answers.size() + 1, 0);
  Dword received = 0;
  ASSERT_EQ(ft.SetTimeouts(handle, 100, 0), d2xx::FT_OK);
  EXPECT_EQ(ft.Read(handle, got.data(), 10, &received), d2xx::FT_OK);
  EXPECT_EQ(received, 10u);
  EXPECT_EQ(ft.Read(handle, got.data() + 10, static_cast<Dword>(answers.size() - 10), &received),
            d2xx::FT_OK);
  EXPECT_EQ(received, answers.size() - 10);
  got.resize(answers.size());
  EXPECT_EQ(Hex(got), Hex(answers));

  // A purge of the receive side drops answers the chip holds.
  ASSERT_EQ(ft.WriteBytes(handle, {kReadStatus, kReadStatus}), d2xx::FT_OK);
  EXPECT_EQ(ft.Purge(handle, d2xx::FT_PURGE_RX), d2xx::FT_OK);
  EXPECT_EQ(ft.GetQueueStatus(handle, &waiting), d2xx::FT_OK);
  EXPECT_EQ(waiting, 0u);
  EXPECT_EQ(ft.Close(handle), d2xx::FT_OK);
}

TEST_F(DriverCallsTest, TwoGeneratorsAreListedAndEachHandleReachesItsOwn) {
  usb.SetUnits(2);
  Dword count = 0;
  EXPECT_EQ(ft.ListDevices(&count, nullptr, d2xx::FT_LIST_NUMBER_ONLY), d2xx::FT_OK);
  EXPECT_EQ(count, 2u);
  for (uintptr_t index : {0, 1}) {
    char serial[16] = {};
    char description[64] = {};
    EXPECT_EQ(ft.ListDevices(reinterpret_cast<void*>(index), serial,
                             d2xx::FT_LIST_BY_INDEX | d2xx::FT_OPEN_BY_SERIAL_NUMBER),
              d2xx::FT_OK);
    EXPECT_EQ(ft.ListDevices(reinterpret_cast<void*>(index), description,
                             d2xx::FT_LIST_BY_INDEX | d2xx::FT_OPEN_BY_DESCRIPTION),
              d2xx::FT_OK);
    EXPECT_EQ(std::string(serial), index == 0 ? "QVX00001" : "QVX00002");
    EXPECT_EQ(std::string(description), "QVX5120I1");
  }

  char second_serial[] = "QVX00002";
  Handle second = nullptr, first = nullptr, again = nullptr;
  ASSERT_EQ(ft.OpenEx(second_serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &second), d2xx::FT_OK);
  ASSERT_EQ(ft.OpenEx(kDescription, d2xx::FT_OPEN_BY_DESCRIPTION, &first), d2xx::FT_OK);
  EXPECT_NE(first, second);
  EXPECT_EQ(ft.OpenEx(second_serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &again),
            d2xx::FT_DEVICE_NOT_OPENED);
  EXPECT_EQ(ft.WriteBytes(second, {kBeginLoad, 0xFF}), d2xx::FT_OK);
  EXPECT_EQ(ft.WriteBytes(first, {kBeginLoad}), d2xx::FT_OK);
  EXPECT_EQ(WireOf(0), "F0");
  EXPECT_EQ(WireOf(1), "F0 FF");

  EXPECT_EQ(ft.Close(second), d2xx::FT_OK);
  EXPECT_EQ(ft.WriteBytes(second, {0xFF}), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(ft.WriteBytes(first, {0xFF}), d2xx::FT_OK);
  EXPECT_EQ(ft.Close(first), d2xx::FT_OK);
  EXPECT_EQ(ft.Close(first), d2xx::FT_INVALID_HANDLE);
  char unknown_serial[] = "QVX00003";
  EXPECT_EQ(ft.OpenEx(unknown_serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &again),
            d2xx::FT_DEVICE_NOT_FOUND);
}

// FTDI gives products built on its chips product ids of their own; the generator's bridge is
// known by its product string, and an FTDI device with another id and string is left alone.
TEST_F(DriverCallsTest, ABridgeWithAProductIdOfItsOwnIsFoundByItsProductStringAlone) {
  usb.SetOption("product_id", 0xFA33);  // outside libftdi's list
  usb.SetOption("foreign", 1);          // 0403:FAF0 "USB Serial Converter", first on the bus
  Dword count = 0;
  EXPECT_EQ(ft.ListDevices(&count, nullptr, d2xx::FT_LIST_NUMBER_ONLY), d2xx::FT_OK);
  EXPECT_EQ(count, 1u);
  char serial[16] = {};
  EXPECT_EQ(ft.ListDevices(reinterpret_cast<void*>(0), serial,
                           d2xx::FT_LIST_BY_INDEX | d2xx::FT_OPEN_BY_SERIAL_NUMBER),
            d2xx::FT_OK);
  EXPECT_EQ(std::string(serial), "QVX00001");

  Handle handle = nullptr;
  ASSERT_EQ(ft.OpenEx(kDescription, d2xx::FT_OPEN_BY_DESCRIPTION, &handle), d2xx::FT_OK);
  EXPECT_EQ(ft.WriteBytes(handle, {kBeginLoad}), d2xx::FT_OK);
  EXPECT_EQ(ft.Close(handle), d2xx::FT_OK);
  EXPECT_EQ(Hex(usb.Wire()), "F0");
  char foreign_serial[] = "FT9X0001";
  EXPECT_EQ(ft.OpenEx(foreign_serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &handle),
            d2xx::FT_DEVICE_NOT_FOUND);
}

// QEMU's emulated FTDI chip leaves a bulk read unanswered while it has nothing to send, where an
// FT245R answers each latency period. Opened anyway, every read with nothing waiting would end in
// libftdi's time-out; it is refused at once, with the reason on standard error.
TEST_F(DriverCallsTest, ABridgeThatLeavesReadsUnansweredIsRefusedAtOpenAndSaysWhy) {
  usb.SetOption("silent_when_empty", 1);
  char serial[] = "QVX00001";
  Handle handle = nullptr;
  ::testing::internal::CaptureStderr();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ft.OpenEx(serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &handle), d2xx::FT_DEVICE_NOT_OPENED);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "libftd2xx (open driver): the FTDI bridge QVX00001 left a read unanswered for 250 ms, "
            "where an FT245R answers within its latency timer (2 ms); it is not opened\n");
  EXPECT_GE(waited, std::chrono::milliseconds(250));
  EXPECT_LT(waited, std::chrono::seconds(2));
  EXPECT_TRUE(usb.Wire().empty());
  // Released again: a well-behaved chip on the same bus opens.
  usb.SetOption("silent_when_empty", 0);
  ASSERT_EQ(ft.OpenEx(serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &handle), d2xx::FT_OK);
  EXPECT_EQ(ft.Close(handle), d2xx::FT_OK);
}

// A read whose second USB transfer fails still delivers what the first one brought.
TEST_F(DriverCallsTest, BytesOfATransferAreKeptWhenTheNextTransferFails) {
  Handle handle = nullptr;
  ASSERT_EQ(ft.Open(0, &handle), d2xx::FT_OK);
  ASSERT_EQ(ft.SetTimeouts(handle, 100, 0), d2xx::FT_OK);
  usb.SetOption("silent_when_empty", 1);
  ASSERT_EQ(ft.WriteBytes(handle, {kBeginLoad, kReadStatus}), d2xx::FT_OK);
  uint8_t buffer[3] = {0xAA, 0xAA, 0xAA};
  Dword received = 0;
  EXPECT_EQ(ft.Read(handle, buffer, 3, &received), d2xx::FT_IO_ERROR);
  EXPECT_EQ(received, 1u);
  EXPECT_EQ(buffer[0], 1);  // ready
  EXPECT_EQ(ft.Close(handle), d2xx::FT_OK);
}

TEST_F(DriverCallsTest, NullHandlesAndPointersGetStatusesNotCrashes) {
  Handle handle = nullptr;
  uint8_t byte = 0;
  Dword count = 0;
  EXPECT_EQ(ft.OpenEx(nullptr, d2xx::FT_OPEN_BY_DESCRIPTION, &handle), d2xx::FT_INVALID_PARAMETER);
  EXPECT_EQ(ft.OpenEx(kDescription, 8, &handle), d2xx::FT_INVALID_PARAMETER);
  // By location the argument is an id, and a pointer's value is at no location.
  EXPECT_EQ(ft.OpenEx(kDescription, d2xx::FT_OPEN_BY_LOCATION, &handle), d2xx::FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(ft.OpenEx(kDescription, d2xx::FT_OPEN_BY_DESCRIPTION, nullptr),
            d2xx::FT_INVALID_PARAMETER);
  EXPECT_EQ(ft.ListDevices(nullptr, nullptr, d2xx::FT_LIST_NUMBER_ONLY),
            d2xx::FT_INVALID_PARAMETER);
  EXPECT_EQ(ft.Read(nullptr, &byte, 1, &count), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(ft.Write(nullptr, &byte, 1, &count), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(ft.ResetDevice(nullptr), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(ft.Purge(nullptr, d2xx::FT_PURGE_RX), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(ft.SetTimeouts(nullptr, 1, 1), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(ft.GetQueueStatus(nullptr, &count), d2xx::FT_INVALID_HANDLE);
  EXPECT_EQ(ft.Close(nullptr), d2xx::FT_INVALID_HANDLE);

  ASSERT_EQ(ft.Open(0, &handle), d2xx::FT_OK);
  EXPECT_EQ(ft.Read(handle, nullptr, 1, &count), d2xx::FT_INVALID_PARAMETER);
  EXPECT_EQ(ft.Read(handle, &byte, 1, nullptr), d2xx::FT_INVALID_PARAMETER);
  EXPECT_EQ(ft.Write(handle, nullptr, 1, &count), d2xx::FT_INVALID_PARAMETER);
  EXPECT_EQ(ft.Write(handle, &byte, 1, nullptr), d2xx::FT_INVALID_PARAMETER);
  EXPECT_EQ(ft.GetQueueStatus(handle, nullptr), d2xx::FT_INVALID_PARAMETER);
  EXPECT_EQ(ft.Close(handle), d2xx::FT_OK);
  EXPECT_TRUE(usb.Wire().empty());
}

// One entry of the device information list.
struct Listed {
  Dword flags = 0;
  Dword type = 0;
  Dword id = 0;
  Dword location = 0;
  std::string serial;
  std::string description;
  Handle handle = nullptr;
  bool operator==(const Listed&) const = default;
};

std::vector<Listed> List(const OpenDriver& ft) {
  Dword count = 0;
  EXPECT_EQ(ft.CreateDeviceInfoList(&count), d2xx::FT_OK);
  std::vector<Listed> listed;
  for (Dword i = 0; i < count; ++i) {
    Listed entry;
    char serial[16] = {};
    char description[64] = {};
    EXPECT_EQ(ft.GetDeviceInfoDetail(i, &entry.flags, &entry.type, &entry.id, &entry.location,
                                     serial, description, &entry.handle),
              d2xx::FT_OK);
    entry.serial = serial;
    entry.description = description;
    listed.push_back(entry);
  }
  return listed;
}

Status OpenAt(const OpenDriver& ft, Dword location, Handle* handle) {
  return ft.OpenEx(reinterpret_cast<void*>(static_cast<uintptr_t>(location)),
                   d2xx::FT_OPEN_BY_LOCATION, handle);
}

// The double's bridges sit at port paths 1-4.1 and 1-4.2: location ids 0x141 and 0x142; an
// FT245R is FT_DEVICE_232R (5), id 0403:6001.
TEST_F(DriverCallsTest, EachBridgeIsListedAtItsLocationAndOpensByIt) {
  usb.SetUnits(2);
  const auto tokens = List(ft);
  ASSERT_EQ(tokens.size(), 2u);
  // The handle field carries each attachment's token: never null, one per unit.
  EXPECT_NE(tokens[0].handle, nullptr);
  EXPECT_NE(tokens[1].handle, nullptr);
  EXPECT_NE(tokens[0].handle, tokens[1].handle);
  const Listed first{0, 5, 0x04036001, 0x141, "QVX00001", "QVX5120I1", tokens[0].handle};
  Listed second{0, 5, 0x04036001, 0x142, "QVX00002", "QVX5120I1", tokens[1].handle};
  EXPECT_EQ(tokens, (std::vector<Listed>{first, second}));

  Handle handle = nullptr;
  ASSERT_EQ(OpenAt(ft, 0x142, &handle), d2xx::FT_OK);
  EXPECT_NE(handle, tokens[1].handle) << "a token is no handle";
  EXPECT_EQ(ft.WriteBytes(handle, {kBeginLoad}), d2xx::FT_OK);
  EXPECT_EQ(WireOf(1), "F0");
  EXPECT_EQ(WireOf(0), "");
  second.flags = d2xx::FT_FLAGS_OPENED;
  EXPECT_EQ(List(ft), (std::vector<Listed>{first, second}));

  Handle other = nullptr;
  EXPECT_EQ(OpenAt(ft, 0x142, &other), d2xx::FT_DEVICE_NOT_OPENED);
  for (Dword location : {0x143u, 0x14u, 0x41u, 0x1u})
    EXPECT_EQ(OpenAt(ft, location, &other), d2xx::FT_DEVICE_NOT_FOUND) << std::hex << location;
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(ft.Close(handle), d2xx::FT_OK);
}

TEST_F(DriverCallsTest, EachListingScansTheBusAgain) {
  usb.SetUnits(2);
  usb.SetOption("unplug_after", 1);
  ASSERT_EQ(List(ft).size(), 2u);
  Handle handle = nullptr;
  ASSERT_EQ(OpenAt(ft, 0x141, &handle), d2xx::FT_OK);
  // The second byte pulls the bridge off the bus.
  ft.WriteBytes(handle, {kBeginLoad, kBeginLoad});
  const auto listed = List(ft);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].serial, "QVX00002");
  EXPECT_EQ(listed[0].location, 0x142u);
  Handle again = nullptr;
  EXPECT_EQ(OpenAt(ft, 0x141, &again), d2xx::FT_DEVICE_NOT_FOUND);
  ft.Close(handle);
}

// Without sysfs to read them from (the double's bus has none), a bridge's strings are asked once
// per attachment: listing after listing, and while a unit loads, nothing more goes to the device.
// Fresh bridges, at the same ports, are new attachments (new addresses) and are asked again.
TEST_F(DriverCallsTest, EachAttachmentIsAskedForItsStringsOnce) {
  usb.SetUnits(2);
  const auto asked = [&] {
    std::vector<std::string> strings;
    for (const std::string& call : usb.Calls()) {
      if (call.starts_with("string ") || call.starts_with("control 06"))
        strings.push_back(call);
    }
    return strings;
  };
  for (int listing = 0; listing < 5; ++listing)
    ASSERT_EQ(List(ft).size(), 2u);
  // iProduct 2 and iSerialNumber 3 of the chip's descriptor, with the lengths of their strings.
  const std::vector<std::string> once{"string QVX00001 2 -> 9", "string QVX00001 3 -> 8",
                                      "string QVX00002 2 -> 9", "string QVX00002 3 -> 8"};
  EXPECT_EQ(asked(), once);

  Handle handle = nullptr;
  ASSERT_EQ(OpenAt(ft, 0x141, &handle), d2xx::FT_OK);
  ASSERT_EQ(ft.WriteBytes(handle, {kBeginLoad}), d2xx::FT_OK);
  char serial[] = "QVX00002";
  Handle other = nullptr;
  ASSERT_EQ(ft.OpenEx(serial, d2xx::FT_OPEN_BY_SERIAL_NUMBER, &other), d2xx::FT_OK);
  for (int listing = 0; listing < 5; ++listing)
    ASSERT_EQ(List(ft).size(), 2u);
  EXPECT_EQ(asked(), once) << "nothing more to the units that are loading";
  ft.Close(handle);
  ft.Close(other);

  usb.SetUnits(2);
  ASSERT_EQ(List(ft).size(), 2u);
  EXPECT_EQ(asked(), once) << "plugged in afresh: asked again";
}

// What the doctor asks beyond the ten: the library's version, and the chip's latency timer, which
// the library set at the open and reads back from the chip.
TEST_F(DriverCallsTest, TheLibrarysVersionAndTheChipsLatencyTimer) {
  void* library = dlopen(QVX_OPEN_DRIVER, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr);
  const auto version =
      reinterpret_cast<d2xx::GetLibraryVersionFn>(dlsym(library, "FT_GetLibraryVersion"));
  const auto latency =
      reinterpret_cast<d2xx::GetLatencyTimerFn>(dlsym(library, "FT_GetLatencyTimer"));
  ASSERT_NE(version, nullptr);
  ASSERT_NE(latency, nullptr);
  Dword number = 0;
  ASSERT_EQ(version(&number), d2xx::FT_OK);
  EXPECT_EQ(number, d2xx::VersionNumber(QVX_VERSION));
  EXPECT_EQ(version(nullptr), d2xx::FT_INVALID_PARAMETER);

  unsigned char ms = 0;
  EXPECT_EQ(latency(nullptr, &ms), d2xx::FT_INVALID_HANDLE);
  Handle handle = nullptr;
  ASSERT_EQ(ft.OpenEx(kDescription, d2xx::FT_OPEN_BY_DESCRIPTION, &handle), d2xx::FT_OK);
  ASSERT_EQ(latency(handle, &ms), d2xx::FT_OK);
  EXPECT_EQ(ms, 2) << "the 2 ms the library sets";
  EXPECT_EQ(latency(handle, nullptr), d2xx::FT_INVALID_PARAMETER);
  // Asked of the chip itself: the request 0A ("get latency timer") on the bus.
  const auto calls = usb.Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "control 0A 0000 0001 -> 1"), calls.end());
  EXPECT_EQ(ft.Close(handle), d2xx::FT_OK);
  dlclose(library);
}

TEST_F(DriverCallsTest, TheListRefusesNullPointersAndIndexesPastItsEnd) {
  Dword count = 0;
  EXPECT_EQ(ft.CreateDeviceInfoList(nullptr), d2xx::FT_INVALID_PARAMETER);
  ASSERT_EQ(ft.CreateDeviceInfoList(&count), d2xx::FT_OK);
  ASSERT_EQ(count, 1u);
  Dword flags = 0, type = 0, id = 0, location = 0;
  char serial[16] = {}, description[64] = {};
  Handle handle = nullptr;
  EXPECT_EQ(ft.GetDeviceInfoDetail(1, &flags, &type, &id, &location, serial, description, &handle),
            d2xx::FT_DEVICE_NOT_FOUND);
  for (int null_argument = 0; null_argument < 7; ++null_argument) {
    const auto arg = [&](int n, auto* pointer) { return null_argument == n ? nullptr : pointer; };
    EXPECT_EQ(
        ft.GetDeviceInfoDetail(0, arg(0, &flags), arg(1, &type), arg(2, &id), arg(3, &location),
                               arg(4, serial), arg(5, description), arg(6, &handle)),
        d2xx::FT_INVALID_PARAMETER)
        << null_argument;
  }
}

}  // namespace
}  // namespace qvx::test
