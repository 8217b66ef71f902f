#include "driver/port/SerialDevices.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "common/ParseNumber.h"

namespace zel {

namespace {

namespace fs = std::filesystem;

constexpr const char* SystemDeviceDirectory = "/dev";
constexpr const char* StableNamesDirectory = "/serial/by-id";
// In the order they are offered.
constexpr const char* AdapterPrefixes[] = {"ttyACM", "ttyUSB"};
// More digits than any device number has; also keeps the number below from overflowing.
constexpr std::string::size_type MaxNumberDigits = 9;

struct Adapter {
  size_t prefix;
  unsigned long number;
  std::string path;
  bool operator<(const Adapter& other) const {
    return std::tie(prefix, number) < std::tie(other.prefix, other.number);
  }
};

// The number after `prefix` when `name` is the prefix followed by digits alone.
bool AdapterNumber(const std::string& name, const std::string& prefix, unsigned long& number) {
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string digits = name.substr(prefix.size());
  if (digits.size() > MaxNumberDigits) return false;
  const auto parsed = ParseNumber<unsigned long>(digits);
  if (parsed) number = *parsed;
  return parsed.has_value();
}

// The names in `directory`; none when it cannot be read. Broken links are kept: udev removes
// them with the device, and a name that does not open tells the user as much.
std::vector<std::string> EntryNames(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator entry(directory, error);
  for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
    names.push_back(entry->path().filename().string());
  }
  return names;
}

}  // namespace

std::vector<std::string> SerialDeviceNamesIn(const std::string& deviceDirectory) {
  std::vector<Adapter> adapters;
  for (const std::string& name : EntryNames(deviceDirectory)) {
    for (size_t p = 0; p < std::size(AdapterPrefixes); ++p) {
      unsigned long number = 0;
      if (AdapterNumber(name, AdapterPrefixes[p], number)) {
        adapters.push_back({p, number, deviceDirectory + "/" + name});
      }
    }
  }
  std::sort(adapters.begin(), adapters.end());

  const std::string stableDirectory = deviceDirectory + StableNamesDirectory;
  std::vector<std::string> stableNames = EntryNames(stableDirectory);
  std::sort(stableNames.begin(), stableNames.end());

  std::vector<std::string> names;
  for (const Adapter& adapter : adapters) names.push_back(adapter.path);
  for (const std::string& name : stableNames) names.push_back(stableDirectory + "/" + name);
  return names;
}

std::vector<std::string> SerialDeviceNames() { return SerialDeviceNamesIn(SystemDeviceDirectory); }

}  // namespace zel
