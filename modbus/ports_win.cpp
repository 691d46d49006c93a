// The serial ports of a Windows machine: the present devices of the class
// "Ports" and of the COM port interface (SetupAPI), each named by the port
// name the driver gave it ("COM3") and described as Device Manager does
// ("USB-SERIAL CH340"), with the maker and, for a USB adapter, the serial
// number from its instance path; then the ports that the drivers announce
// under HARDWARE\DEVICEMAP\SERIALCOMM and no device named (older drivers,
// Wine).
#include "ports.h"
#include "serial_win.h"

#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace orn {

namespace {

// GUID_DEVINTERFACE_COMPORT (ntddser.h, which wants the driver kit's types).
constexpr GUID ComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

std::string Utf8(const wchar_t* w, size_t n) {
    while (n > 0 && w[n - 1] == L'\0') --n;
    if (n == 0) return {};
    const int k = WideCharToMultiByte(CP_UTF8, 0, w, int(n), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(k > 0 ? k : 0), '\0');
    if (k > 0) WideCharToMultiByte(CP_UTF8, 0, w, int(n), s.data(), k, nullptr, nullptr);
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "COM3", not "LPT1" or a name the driver made up.
bool IsComName(const std::string& s) { return DevicePathOf(s) != s; }

std::string Property(HDEVINFO set, SP_DEVINFO_DATA& dev, DWORD property) {
    wchar_t buf[512];
    DWORD type = 0, size = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &dev, property, &type, reinterpret_cast<BYTE*>(buf),
                                           sizeof buf - sizeof(wchar_t), &size) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    buf[std::min<size_t>(size / sizeof(wchar_t), 511)] = L'\0';
    return Utf8(buf, wcslen(buf));
}

// The "PortName" value the driver keeps under the device's key.
std::string PortName(HDEVINFO set, SP_DEVINFO_DATA& dev) {
    HKEY key = SetupDiOpenDevRegKey(set, &dev, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t buf[64];
    DWORD type = 0, size = sizeof buf - sizeof(wchar_t);
    std::string name;
    if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        buf[std::min<size_t>(size / sizeof(wchar_t), 63)] = L'\0';
        name = Utf8(buf, wcslen(buf));
    }
    RegCloseKey(key);
    return name;
}

// The instance ID of a device of `set`.
std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA& dev) {
    wchar_t instance[512];
    return SetupDiGetDeviceInstanceIdW(set, &dev, instance, 511, nullptr) ? Utf8(instance, wcslen(instance))
                                                                           : std::string();
}

// The serial number a USB adapter reports, from the device's instance path:
// "USB\VID_1A86&PID_7523\A10K1234" (the last part, unless Windows made it up,
// which it marks with '&'), or FTDI's "FTDIBUS\VID_0403+PID_6001+A10K1234A\0000"
// (the third part, less the port letter FTDI appends).
std::string SerialNumberOf(const std::string& instance) {
    const std::string up = Upper(instance);
    if (up.rfind("USB\\", 0) == 0) {
        const size_t slash = instance.rfind('\\');
        const std::string last = instance.substr(slash + 1);
        return slash > 3 && last.find('&') == std::string::npos ? last : std::string();
    }
    if (up.rfind("FTDIBUS\\", 0) == 0) {
        const size_t a = instance.find('+');
        const size_t b = a == std::string::npos ? a : instance.find('+', a + 1);
        const size_t end = b == std::string::npos ? b : instance.find('\\', b + 1);
        if (end == std::string::npos) return {};
        std::string serial = instance.substr(b + 1, end - b - 1);
        if (serial.size() > 1 && serial.back() == 'A') serial.pop_back();
        return serial;
    }
    return {};
}

void AddDevices(const GUID& guid, DWORD flags, std::map<std::string, PortRecord>& found) {
    HDEVINFO set = SetupDiGetClassDevsW(&guid, nullptr, nullptr, flags);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA dev{};
    dev.cbSize = sizeof dev;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &dev); ++i) {
        const std::string name = PortName(set, dev);
        if (!IsComName(name) || found.count(Upper(name))) continue;   // printer ports, ports seen already
        PortRecord r;
        r.name = name;
        r.location = DevicePathOf(name);
        r.product = Property(set, dev, SPDRP_DEVICEDESC);
        r.maker = Property(set, dev, SPDRP_MFG);
        r.serialNumber = SerialNumberOf(InstanceId(set, dev));
        found.emplace(Upper(name), std::move(r));
    }
    SetupDiDestroyDeviceInfoList(set);
}

// The ports the drivers announce in HARDWARE\DEVICEMAP\SERIALCOMM.
void AddSerialComm(std::map<std::string, PortRecord>& found) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t valueName[256], data[64];
        DWORD nameSize = 255, dataSize = sizeof data - sizeof(wchar_t), type = 0;
        const LONG r = RegEnumValueW(key, i, valueName, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                     &dataSize);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        data[std::min<size_t>(dataSize / sizeof(wchar_t), 63)] = L'\0';
        const std::string name = Utf8(data, wcslen(data));
        if (!IsComName(name) || found.count(Upper(name))) continue;
        PortRecord rec;
        rec.name = name;
        rec.location = DevicePathOf(name);
        found.emplace(Upper(name), std::move(rec));
    }
    RegCloseKey(key);
}

// Names a device the same way whichever way it was written.
std::string Canonical(const std::string& path) {
    const std::string device = DevicePathOf(path);
    return device.rfind("\\\\.\\", 0) == 0 ? "\\\\.\\" + Upper(device.substr(4)) : device;
}

} // namespace

std::string PortInstanceId(const std::string& comName) {
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return {};
    std::string id;
    SP_DEVINFO_DATA dev{};
    dev.cbSize = sizeof dev;
    for (DWORD i = 0; id.empty() && SetupDiEnumDeviceInfo(set, i, &dev); ++i)
        if (Upper(PortName(set, dev)) == Upper(comName)) id = InstanceId(set, dev);
    SetupDiDestroyDeviceInfoList(set);
    return id;
}

PortScan SystemPorts() {
    PortScan scan;
    std::map<std::string, PortRecord> found;
    AddDevices(GUID_DEVCLASS_PORTS, DIGCF_PRESENT, found);
    AddDevices(ComPortInterface, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE, found);
    AddSerialComm(found);
    for (auto& [name, r] : found) {
        r.location = Canonical(r.location);
        scan.found.push_back(std::move(r));
    }
    scan.variables = PortVariables(Canonical);
    return scan;
}

} // namespace orn
