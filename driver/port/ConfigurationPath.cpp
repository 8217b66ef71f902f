#include "driver/port/ConfigurationPath.h"

#include "driver/port/SettingsFile.h"

namespace zel {

namespace {

bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

std::string Joined(const std::string& folder, const std::string& name) {
  return !folder.empty() && folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

std::string ChooseConfigurationPath(const std::string& programDir, bool existsBesideProgram,
                                    bool programDirWritable, const std::string& xdgConfigHome,
                                    const std::string& home) {
  const std::string besideProgram = Joined(programDir, ConfigurationFileName);
  if (existsBesideProgram || programDirWritable) return besideProgram;
  std::string base = xdgConfigHome;
  if (!IsAbsolute(base)) {
    if (!IsAbsolute(home)) return besideProgram;
    base = Joined(home, ".config");
  }
  return Joined(Joined(base, "zel"), ConfigurationFileName);
}

}  // namespace zel
