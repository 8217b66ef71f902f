#pragma once
// Why a device could not be opened, in words that say what to do: the facts are gathered from
// the system, the texts built from the facts alone.

#include <cstddef>
#include <string>
#include <vector>

namespace zel {

// The device's group and where the user stands with it.
struct DeviceAccess {
  std::string group;             // the device's group by name; empty when unknown
  bool groupMayUse = false;      // its mode lets the group read and write it
  bool inGroupNow = false;       // this process has the group
  bool inGroupOnRecord = false;  // the user database puts the user in it
};

// A process that has the device open.
struct DeviceHolder {
  int pid = 0;
  std::string name;
};

// systemText: the system's own words for the refusal ("Permission denied").
std::string AccessDeniedText(const std::string& systemText, const DeviceAccess& access);
std::string InUseText(const std::vector<DeviceHolder>& holders);

DeviceAccess LookUpDeviceAccess(const std::string& path);
// Other processes with `path` open, found through /proc (only those this user may look into);
// at most `most` of them.
std::vector<DeviceHolder> FindDeviceHolders(const std::string& path, size_t most = 3);

}  // namespace zel
