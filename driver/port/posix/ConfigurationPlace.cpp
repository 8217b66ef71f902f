#include "driver/port/posix/ConfigurationPlace.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "driver/port/ConfigurationPath.h"
#include "driver/port/SettingsFile.h"

namespace zel {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// $HOME, or the user database's home when the environment has none.
std::string Home() {
  std::string home = Variable("HOME");
  if (home.empty()) {
    const passwd* user = ::getpwuid(::getuid());
    if (user != nullptr && user->pw_dir != nullptr) home = user->pw_dir;
  }
  return home;
}

}  // namespace

std::string ConfigurationPathOnThisSystem(const std::string& programDir) {
  const std::string beside = programDir + "/" + ConfigurationFileName;
  return ChooseConfigurationPath(programDir, ::access(beside.c_str(), F_OK) == 0,
                                 ::access(programDir.c_str(), W_OK) == 0,
                                 Variable("XDG_CONFIG_HOME"), Home());
}

}  // namespace zel
