// The configuration file: the cases of tests/data/port/settings-files.txt loaded (and, where they
// say so, stored back byte for byte), and stores that must fail without harm.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "driver/port/SettingsFile.h"
#include "tests/port/PortTestSupport.h"
#include "tests/support/DataText.h"

namespace zel {
namespace {

struct FileCase {
  std::string legend, bytes, fields;
  bool storedBack = false;
};

// The data file writes line ends as \r and \n.
std::string Unescaped(const std::string& text) { return test::Text('"' + text + '"'); }
std::vector<FileCase> FileCases() {
  std::ifstream in(ZEL_TEST_DATA "/port/settings-files.txt");
  std::vector<FileCase> cases;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("== ", 0) == 0) {
      cases.push_back({line.substr(3), "", ""});
      cases.back().storedBack = line.find("stored back byte for byte") != std::string::npos;
    } else if (line.rfind(">", 0) == 0 && !cases.empty()) {
      cases.back().bytes += Unescaped(line.substr(line.size() > 1 ? 2 : 1));
    } else if (line.rfind("= ", 0) == 0 && !cases.empty()) {
      cases.back().fields = Unescaped(line.substr(2));
    }
  }
  return cases;
}

TEST(SettingsFile, LoadsEveryCaseOfTheDataFile) {
  const std::vector<FileCase> cases = FileCases();
  ASSERT_GE(cases.size(), 9u) << "tests/data/port/settings-files.txt not read";
  for (const FileCase& c : cases) {
    SCOPED_TRACE(c.legend);
    test::ScratchDirectory dir;
    dir.Write(ConfigurationFileName, c.bytes);
    PortSettings settings;
    const auto loaded = LoadConfiguration(dir.FilePath(ConfigurationFileName), settings);
    const bool defaults = c.fields == "defaults";
    EXPECT_EQ(test::Fields(settings), defaults ? test::Fields(PortSettings::Defaults()) : c.fields);
    EXPECT_EQ(loaded.code, defaults ? SettingsFileError::BadNumber : SettingsFileError::None);
    if (!c.storedBack) continue;
    dir.Write(ConfigurationFileName, "a longer file that the store must replace whole\r\n\r\n");
    dir.Write(std::string(ConfigurationFileName) + ".tmp", "left over");
    EXPECT_TRUE(StoreConfiguration(dir.FilePath(ConfigurationFileName), settings).Ok());
    EXPECT_EQ(dir.Read(ConfigurationFileName), c.bytes);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{ConfigurationFileName});
  }
}

// Whatever goes wrong in a store, the old file stays as it was and no temporary is left behind.
TEST(SettingsFile, FailedStoreLeavesTheOldFileWholeAndAMissingFileGivesTheDefaults) {
  test::ScratchDirectory dir;
  dir.Write(ConfigurationFileName, "PortNumber=COM2\r\n");
  PortSettings settings = PortSettings::Defaults();
  settings.Paritet = "a\nb";
  EXPECT_EQ(StoreConfiguration(dir.FilePath(ConfigurationFileName), settings).code,
            SettingsFileError::TextWithLineBreak);
  ::mkdir(dir.FilePath("taken").c_str(), 0700);
  EXPECT_EQ(StoreConfiguration(dir.FilePath("taken"), PortSettings::Defaults()).code,
            SettingsFileError::WriteFailed);
  EXPECT_EQ(dir.Read(ConfigurationFileName), "PortNumber=COM2\r\n");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{ConfigurationFileName, "taken"}));
  // A folder that cannot be made: a file stands in its way.
  EXPECT_EQ(
      StoreConfiguration(dir.FilePath(ConfigurationFileName) + "/x", PortSettings::Defaults()).code,
      SettingsFileError::WriteFailed);
  settings.Paritet = "Odd";
  const auto loaded = LoadConfiguration("/nonexistent-zel/ZELdrv.ini", settings);
  EXPECT_EQ(loaded.text, "/nonexistent-zel/ZELdrv.ini: No such file or directory");
  EXPECT_EQ(test::Fields(settings),
            "COM1|75 baud|1 bit|None|Immediately answer|HandShake|HandShake|0|0");
}

// The user's configuration folder may not exist before the first store.
TEST(SettingsFile, StoreMakesTheMissingFoldersForItsOwnerAlone) {
  test::ScratchDirectory dir;
  const std::string path = dir.FilePath("config/zel/") + ConfigurationFileName;
  ASSERT_TRUE(StoreConfiguration(path, PortSettings::Defaults()).Ok());
  PortSettings loaded;
  EXPECT_TRUE(LoadConfiguration(path, loaded).Ok());
  struct stat made {};
  ASSERT_EQ(::stat(dir.FilePath("config").c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace zel
