// SetupAPI's records of the present USB devices: instance id, the driver's service, provider and
// version, and the product string the bus reported. Windows only.
#include <windows.h>

// The property keys of devpkey.h are defined in this file, not only declared.
#include <initguid.h>

#include <cfgmgr32.h>
#include <devpkey.h>
#include <setupapi.h>

#include "doctor/windows_drivers.h"

namespace qvx::doctor {
namespace {

std::string Narrow(const wchar_t* text) {
  if (text == nullptr || *text == L'\0')
    return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
  if (size > 1)
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
  return narrow;
}

std::string RegistryText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t buffer[512] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                         reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                         nullptr) ||
      (type != REG_SZ && type != REG_MULTI_SZ)) {
    return {};
  }
  return Narrow(buffer);
}

std::string PropertyText(HDEVINFO set, SP_DEVINFO_DATA& device, const DEVPROPKEY& key) {
  wchar_t buffer[512] = {};
  DEVPROPTYPE type = 0;
  if (!SetupDiGetDevicePropertyW(set, &device, &key, &type, reinterpret_cast<BYTE*>(buffer),
                                 sizeof buffer - 2, nullptr, 0) ||
      type != DEVPROP_TYPE_STRING) {
    return {};
  }
  return Narrow(buffer);
}

}  // namespace

std::vector<DriverRecord> ReadDriverRecords() {
  std::vector<DriverRecord> records;
  const HDEVINFO set =
      SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE)
    return records;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
    wchar_t id[MAX_DEVICE_ID_LEN] = {};
    if (!SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, nullptr))
      continue;
    DriverRecord record;
    record.instance_id = Narrow(id);
    record.service = RegistryText(set, device, SPDRP_SERVICE);
    record.provider = PropertyText(set, device, DEVPKEY_Device_DriverProvider);
    record.version = PropertyText(set, device, DEVPKEY_Device_DriverVersion);
    record.description = PropertyText(set, device, DEVPKEY_Device_BusReportedDeviceDesc);
    if (record.description.empty())
      record.description = RegistryText(set, device, SPDRP_DEVICEDESC);
    records.push_back(std::move(record));
  }
  SetupDiDestroyDeviceInfoList(set);
  return records;
}

}  // namespace qvx::doctor
