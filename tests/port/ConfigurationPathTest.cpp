// Where the configuration file lives, for each combination of what the system says.
#include <gtest/gtest.h>

#include <string>

#include "driver/port/ConfigurationPath.h"

namespace zel {
namespace {

TEST(ConfigurationPath, BesideTheProgramWherePossibleElseTheUsersFolder) {
  struct Row {
    bool exists, writable;
    std::string xdg, home, path;
  };
  const Row rows[] = {
      {true, false, "/x", "/h", "/opt/zel/bin/ZELdrv.ini"},  // a file already there wins
      {false, true, "/x", "/h", "/opt/zel/bin/ZELdrv.ini"},  // the build tree, a portable copy
      {false, false, "/x/", "/h", "/x/zel/ZELdrv.ini"},
      {false, false, "x", "/h/", "/h/.config/zel/ZELdrv.ini"},  // a relative one is ignored
      {false, false, "", "/h", "/h/.config/zel/ZELdrv.ini"},
      {false, false, "", "", "/opt/zel/bin/ZELdrv.ini"},  // nowhere else to go
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ChooseConfigurationPath("/opt/zel/bin", row.exists, row.writable, row.xdg, row.home),
              row.path)
        << row.exists << row.writable << " '" << row.xdg << "' '" << row.home << "'";
  }
}

}  // namespace
}  // namespace zel
