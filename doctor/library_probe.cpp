#include "doctor/library_probe.h"

#include <array>

#include "download/connection.h"

namespace qvx::doctor {
namespace {

template <typename Fn>
Fn Entry(LibraryLoader& loader, void* library, const char* name) {
  return library != nullptr ? reinterpret_cast<Fn>(loader.Find(library, name)) : nullptr;
}

std::string TextOf(const char* buffer, size_t size) {
  size_t length = 0;
  while (length < size && buffer[length] != '\0')
    ++length;
  return std::string(buffer, length);
}

}  // namespace

LibraryProbe::LibraryProbe(SystemLibraryLoader& loader, Clock& clock, Platform platform)
    : loader_(loader), clock_(clock), platform_(platform), driver_(binding_, loader) {}

LibraryFacts LibraryProbe::Bind() {
  driver_.BindDriver();
  LibraryFacts facts;
  facts.search = loader_.report();
  facts.messages.assign(binding_.messages().begin(), binding_.messages().end());
  const DriverTable& table = driver_.table();
  if (table.library == nullptr)
    return facts;
  facts.complete = table.FT_GetQueueStatus != nullptr;  // binding stops at the first missing
  facts.lists = table.FT_CreateDeviceInfoList != nullptr && table.FT_GetDeviceInfoDetail != nullptr;
  // The virtual generator has its control functions; the open library brings libftdi1 with it,
  // which a lookup through the library finds among its dependencies (Linux); anything else is
  // taken for FTDI's.
  if (loader_.Find(table.library, "VG_Reset") != nullptr)
    facts.kind = LibraryKind::kVirtual;
  else if (platform_ == Platform::kLinux && loader_.Find(table.library, "ftdi_new") != nullptr)
    facts.kind = LibraryKind::kOpen;
  else
    facts.kind = LibraryKind::kFtdi;
  if (const auto version =
          Entry<d2xx::GetLibraryVersionFn>(loader_, table.library, "FT_GetLibraryVersion")) {
    d2xx::Dword number = 0;
    if (version(&number) == d2xx::FT_OK)
      facts.version = number;
  }
  return facts;
}

std::vector<ListedUnit> LibraryProbe::List() {
  const DriverTable& table = driver_.table();
  std::vector<ListedUnit> units;
  d2xx::Dword count = 0;
  if (table.FT_CreateDeviceInfoList == nullptr || table.FT_GetDeviceInfoDetail == nullptr ||
      table.FT_CreateDeviceInfoList(&count) != d2xx::FT_OK) {
    return units;
  }
  for (d2xx::Dword index = 0; index < count; ++index) {
    ListedUnit unit;
    std::array<char, d2xx::kSerialNumberBuffer> serial{};
    std::array<char, d2xx::kDescriptionBuffer> description{};
    d2xx::Handle token = nullptr;
    if (table.FT_GetDeviceInfoDetail(index, &unit.flags, &unit.type, &unit.id, &unit.location,
                                     serial.data(), description.data(), &token) != d2xx::FT_OK) {
      continue;
    }
    unit.serial = TextOf(serial.data(), serial.size());
    unit.description = TextOf(description.data(), description.size());
    units.push_back(std::move(unit));
  }
  return units;
}

OpenFacts LibraryProbe::Open(const ListedUnit& unit) {
  OpenFacts facts;
  facts.tried = true;
  MessageLog window;
  Connection connection(window, clock_, loader_);
  if (unit.location != 0)
    connection.OpenLocation(unit.location);
  else
    connection.OpenSerial(unit.serial);
  const auto started = clock_.Now();
  connection.Connect();
  facts.took = clock_.Now() - started;
  facts.connected = connection.connected();
  facts.messages.assign(window.messages().begin(), window.messages().end());
  if (!facts.connected)
    return facts;
  const DriverTable& table = connection.driver.table();
  if (const auto latency =
          Entry<d2xx::GetLatencyTimerFn>(loader_, table.library, "FT_GetLatencyTimer")) {
    unsigned char ms = 0;
    if (latency(table.device, &ms) == d2xx::FT_OK)
      facts.latency_ms = ms;
  }
  if (platform_ == Platform::kWindows) {
    if (const auto driver =
            Entry<d2xx::GetDriverVersionFn>(loader_, table.library, "FT_GetDriverVersion")) {
      d2xx::Dword version = 0;
      if (driver(table.device, &version) == d2xx::FT_OK)
        facts.driver_version = version;
    }
  }
  connection.driver.GuardedClose();
  return facts;
}

}  // namespace qvx::doctor
