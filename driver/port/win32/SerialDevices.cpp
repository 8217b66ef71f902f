#include "driver/port/SerialDevices.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver/port/DeviceName.h"
#include "driver/port/PortSettings.h"

namespace zel {

// The ports that the system's serial drivers announce, as "COMn", by number. COM1 to COM4 are
// left out: the dialog's list offers them always, present or not.
std::vector<std::string> SerialDeviceNames() {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS) {
    return names;
  }
  for (DWORD index = 0;; ++index) {
    char valueName[256];
    DWORD valueNameLength = sizeof valueName;
    char data[256];
    DWORD dataLength = sizeof data - 1;
    DWORD type = 0;
    const LONG status = RegEnumValueA(key, index, valueName, &valueNameLength, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data), &dataLength);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ) continue;
    data[dataLength] = '\0';
    const std::string name(data);  // the stored length may count the terminating zero
    if (!ComPortNumber(name)) continue;
    if (std::find(PortNumberItems.begin(), PortNumberItems.end(), name) != PortNumberItems.end())
      continue;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  RegCloseKey(key);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return *ComPortNumber(a) < *ComPortNumber(b);
  });
  return names;
}

}  // namespace zel
