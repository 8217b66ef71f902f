// "ZELdrv.ini": loading it (any line order, nine lines at most, exact keys, untrimmed values,
// whole integers, defaults on failure) and storing it (nine CR LF lines, replaced whole or not
// at all, one notice on failure).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "driver/port/PortSettings.h"
#include "tests/frames/FrameTestSupport.h"
#include "tests/port/PortTestSupport.h"

namespace zel::test {
namespace {

const std::string IniName = "ZELdrv.ini";
const std::string TemporaryName = "ZELdrv.ini.tmp";
const std::string CantStore = "Can't store current configuration !";

// Every setting different from its default, so that a field left unread shows.
const std::vector<std::string> SampleLines = {"PortNumber=COM3",
                                              "TransferRate=19200 baud",
                                              "StopBits=2 bit",
                                              "Paritet=Even",
                                              "LatencyPeriod=Approximately 5 seconds",
                                              "DTRControl=Disable",
                                              "RTSControl=Enable",
                                              "WriteTimeOutMultiplier=3",
                                              "WriteTimeOutConstant=-250"};
const NineSettings Sample = {"COM3",    "19200 baud", "2 bit", "Even", "Approximately 5 seconds",
                             "Disable", "Enable",     3,       -250};

// A carrier that has not loaded anything yet.
const NineSettings Fresh = {"", "", "", "", "", "", "", 0, 0};

std::vector<std::string> Replaced(std::vector<std::string> lines, size_t index,
                                  const std::string& line) {
  lines[index] = line;
  return lines;
}

NineSettings With(NineSettings settings, void (*change)(NineSettings&)) {
  change(settings);
  return settings;
}

std::vector<std::string> Reversed(std::vector<std::string> lines) {
  std::reverse(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> First(const std::vector<std::string>& lines, size_t count) {
  return {lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(count)};
}

struct LoadCase {
  std::string name;
  std::string file;
  NineSettings loaded;  // into a fresh carrier
};

std::vector<LoadCase> LoadCases() {
  const std::string withoutLastEnding =
      FileOf(SampleLines).substr(0, FileOf(SampleLines).size() - 2);
  std::string mixedEndings;
  for (size_t i = 0; i < SampleLines.size(); ++i) {
    mixedEndings += SampleLines[i] + (i % 2 == 0 ? "\n" : "\r\n");
  }
  std::vector<std::string> tenLines = Replaced(SampleLines, 8, "PortNumber=COM4");
  tenLines.push_back("WriteTimeOutConstant=-250");
  std::vector<std::string> afterBlankLines = {"", ""};
  afterBlankLines.insert(afterBlankLines.end(), SampleLines.begin(), SampleLines.end());
  const auto noIntegers = [](NineSettings& s) { s.writeMultiplier = 0, s.writeConstant = 0; };
  const auto noPortNumber = [](NineSettings& s) { s.portNumber = ""; };

  return {
      {"CanonicalOrderWithCrLf", FileOf(SampleLines), Sample},
      {"MixedEndings", mixedEndings, Sample},
      {"LastLineWithoutEnding", withoutLastEnding, Sample},
      {"KeysInAnotherOrder", FileOf(Reversed(SampleLines)), Sample},
      {"SevenLinesLeaveBothIntegersAtZero", FileOf(First(SampleLines, 7)),
       With(Sample, noIntegers)},
      {"TenthLineIsNeverRead", FileOf(tenLines),
       With(Sample, [](NineSettings& s) { s.portNumber = "COM4", s.writeConstant = 0; })},
      {"BlankLinesCountAmongTheNine", FileOf(afterBlankLines), With(Sample, noIntegers)},
      {"BlanksAroundEqualsMatchNoKey", FileOf(Replaced(SampleLines, 0, "PortNumber = COM2")),
       With(Sample, noPortNumber)},
      {"KeyInAnotherCaseIsIgnored", FileOf(Replaced(SampleLines, 0, "portnumber=COM2")),
       With(Sample, noPortNumber)},
      {"BlanksAroundTheValueKept", FileOf(Replaced(SampleLines, 3, "Paritet= Even ")),
       With(Sample, [](NineSettings& s) { s.paritet = " Even "; })},
      {"ValueNotCheckedAgainstItsList", FileOf(Replaced(SampleLines, 2, "StopBits=3 bits")),
       With(Sample, [](NineSettings& s) { s.stopBits = "3 bits"; })},
      {"LaterDuplicateWins", FileOf(Replaced(SampleLines, 7, "Paritet=Mark")),
       With(Sample, [](NineSettings& s) { s.paritet = "Mark", s.writeMultiplier = 0; })},
      {"ValueRunsToTheEndIncludingEquals", FileOf(Replaced(SampleLines, 6, "RTSControl=a=b")),
       With(Sample, [](NineSettings& s) { s.rtsControl = "a=b"; })},
      // Only a CR right before the LF belongs to the line ending.
      {"OtherCarriageReturnsStayInTheValue",
       FileOf(Replaced(SampleLines, 0, "PortNumber=CO\rM2\r")),
       With(Sample, [](NineSettings& s) { s.portNumber = "CO\rM2\r"; })},
      {"EmptyFileLeavesEverythingAsItWas", "", Fresh},
  };
}

class ConfigurationFile : public ::testing::Test {
 protected:
  ScratchDirectory dir;
  RecordingNotice notice;
  PortSettingsCarrier carrier{dir.Path(), notice};
};

class LoadedFile : public ConfigurationFile, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadedFile, FillsTheNineFields) {
  dir.Write(IniName, GetParam().file);

  carrier.LoadConfiguration(IniName);

  EXPECT_EQ(SettingsOf(carrier), GetParam().loaded);
  EXPECT_TRUE(notice.Texts.empty());
}

INSTANTIATE_TEST_SUITE_P(ConfigurationFile, LoadedFile, ::testing::ValuesIn(LoadCases()),
                         CaseName());

struct IntegerCase {
  std::string name;
  std::string text;
  bool converts;
  int32_t value;
};

std::vector<IntegerCase> IntegerCases() {
  return {
      {"PlusSign", "+7", true, 7},
      {"Largest", "2147483647", true, 2147483647},
      {"Smallest", "-2147483648", true, -2147483647 - 1},
      {"Empty", "", false, 0},
      {"SignAlone", "-", false, 0},
      {"LeadingBlank", " 5", false, 0},
      {"TrailingBlank", "5 ", false, 0},
      {"OneAboveLargest", "2147483648", false, 0},
      {"OneBelowSmallest", "-2147483649", false, 0},
      {"BeyondSixtyFourBits", "99999999999999999999999", false, 0},
      {"Hexadecimal", "0x10", false, 0},
  };
}

class WriteTimeoutValue : public ConfigurationFile,
                          public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(WriteTimeoutValue, ConvertsWholeOrTheLoadFallsBackToDefaults) {
  const IntegerCase& c = GetParam();
  for (const size_t line : {size_t{7}, size_t{8}}) {
    SCOPED_TRACE(SampleLines[line]);
    const std::string key = line == 7 ? "WriteTimeOutMultiplier=" : "WriteTimeOutConstant=";
    dir.Write(IniName, FileOf(Replaced(SampleLines, line, key + c.text)));

    carrier.LoadConfiguration(IniName);

    NineSettings expected = DefaultSettings();
    if (c.converts) {
      expected = Sample;
      (line == 7 ? expected.writeMultiplier : expected.writeConstant) = c.value;
    }
    EXPECT_EQ(SettingsOf(carrier), expected);
    EXPECT_TRUE(notice.Texts.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(ConfigurationFile, WriteTimeoutValue, ::testing::ValuesIn(IntegerCases()),
                         CaseName());

// The file is looked for in the program directory only, never in the current one.
TEST_F(ConfigurationFile, MissingFileGivesTheDefaultsWhateverTheCurrentDirectoryHolds) {
  ScratchDirectory currentDir;
  currentDir.Write(IniName, FileOf(SampleLines));
  const std::string before = std::filesystem::current_path().string();
  std::filesystem::current_path(currentDir.Path());

  carrier.LoadConfiguration(IniName);

  std::filesystem::current_path(before);
  EXPECT_EQ(SettingsOf(carrier), DefaultSettings());
  EXPECT_TRUE(notice.Texts.empty());
}

TEST_F(ConfigurationFile, UnreadableFileGivesTheDefaults) {
  // A directory under the file's name opens but cannot be read.
  ASSERT_EQ(::mkdir(dir.FilePath(IniName).c_str(), 0755), 0);
  Assign(carrier, Sample);

  carrier.LoadConfiguration(IniName);

  EXPECT_EQ(SettingsOf(carrier), DefaultSettings());
}

TEST_F(ConfigurationFile, KeysMissingFromTheFileKeepTheirFields) {
  dir.Write(IniName, FileOf({"Paritet=Odd", "WriteTimeOutConstant=12"}));
  Assign(carrier, Sample);

  carrier.LoadConfiguration(IniName);

  EXPECT_EQ(SettingsOf(carrier),
            With(Sample, [](NineSettings& s) { s.paritet = "Odd", s.writeConstant = 12; }));
}

// --- Storing ---

const NineSettings WorkedExample = {
    "COM2", "9600 baud", "1 bit", "None", "Approximately 0.25 second", "Enable", "Disable", 0, 0};
const std::string WorkedExampleFile =
    "PortNumber=COM2\r\n"
    "TransferRate=9600 baud\r\n"
    "StopBits=1 bit\r\n"
    "Paritet=None\r\n"
    "LatencyPeriod=Approximately 0.25 second\r\n"
    "DTRControl=Enable\r\n"
    "RTSControl=Disable\r\n"
    "WriteTimeOutMultiplier=0\r\n"
    "WriteTimeOutConstant=0\r\n";

class StoredFile : public ConfigurationFile {};

TEST_F(StoredFile, IsTheWorkedExampleByteForByte) {
  Assign(carrier, WorkedExample);

  carrier.StoreConfiguration(IniName);

  EXPECT_EQ(dir.Read(IniName), WorkedExampleFile);
  EXPECT_TRUE(notice.Texts.empty());
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{IniName});
  EXPECT_EQ(SettingsOf(carrier), WorkedExample);
}

TEST_F(StoredFile, LoadsBackAsStored) {
  const NineSettings odd = {"COM2 ", " 9600 baud", "", "a=b", "CO\rM", "enable", "x\r", -5, 77};
  Assign(carrier, odd);

  carrier.StoreConfiguration(IniName);
  PortSettingsCarrier reader(dir.Path(), notice);
  reader.LoadConfiguration(IniName);

  EXPECT_EQ(SettingsOf(reader), odd);
  EXPECT_TRUE(notice.Texts.empty());
}

// A leftover of a store cut short, even a write-protected one, is no reason to fail.
TEST_F(StoredFile, ReplacesALongerFileAndALeftoverTemporaryWhole) {
  std::vector<std::string> longer = SampleLines;
  for (int i = 0; i < 20; ++i) longer.push_back("Remark=" + std::string(100, 'x'));
  dir.Write(IniName, FileOf(longer));
  dir.Write(TemporaryName, "half a file");
  ASSERT_EQ(::chmod(dir.FilePath(TemporaryName).c_str(), 0444), 0);
  Assign(carrier, WorkedExample);

  carrier.StoreConfiguration(IniName);

  EXPECT_EQ(dir.Read(IniName), WorkedExampleFile);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{IniName});
  EXPECT_TRUE(notice.Texts.empty());
}

// --- Storing that fails: one notice, the old file whole, no temporary, the fields untouched ---

class FailedStore : public StoredFile {
 protected:
  void SetUp() override {
    dir.Write(IniName, FileOf(SampleLines));
    Assign(carrier, WorkedExample);
  }
  void ExpectNothingChanged(const std::vector<std::string>& entries) {
    EXPECT_EQ(notice.Texts, std::vector<std::string>{CantStore});
    EXPECT_EQ(SettingsOf(carrier), WorkedExample);
    EXPECT_EQ(dir.Entries(), entries);
  }
  void ExpectOldFileWhole() {
    EXPECT_EQ(dir.Read(IniName), FileOf(SampleLines));
    ExpectNothingChanged({IniName});
  }
};

TEST_F(FailedStore, DirectoryMissing) {
  PortSettingsCarrier elsewhere(dir.Path() + "absent/", notice);
  Assign(elsewhere, WorkedExample);

  elsewhere.StoreConfiguration(IniName);

  EXPECT_EQ(notice.Texts, std::vector<std::string>{CantStore});
  EXPECT_EQ(SettingsOf(elsewhere), WorkedExample);
  EXPECT_FALSE(dir.Exists("absent"));
}

// Writing runs out of room half-way, as on a full disk.
TEST_F(FailedStore, DiskFull) {
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 40;
  const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

  carrier.StoreConfiguration(IniName);

  ::setrlimit(RLIMIT_FSIZE, &before);
  ::signal(SIGXFSZ, oldHandler);
  ExpectOldFileWhole();
}

// The temporary is complete, but it cannot take the file's name.
TEST_F(FailedStore, NameTakenByADirectory) {
  ASSERT_EQ(::unlink(dir.FilePath(IniName).c_str()), 0);
  ASSERT_EQ(::mkdir(dir.FilePath(IniName).c_str(), 0755), 0);
  dir.Write(IniName + "/keep", "kept");

  carrier.StoreConfiguration(IniName);

  EXPECT_EQ(dir.Read(IniName + "/keep"), "kept");
  ExpectNothingChanged({IniName});
}

TEST_F(FailedStore, TextWithALineFeed) {
  carrier.PortNumCBox = "COM1\nWriteTimeOutConstant=abc";

  carrier.StoreConfiguration(IniName);

  EXPECT_EQ(dir.Read(IniName), FileOf(SampleLines));
  EXPECT_EQ(notice.Texts, std::vector<std::string>{CantStore});
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{IniName});
}

TEST_F(FailedStore, DirectoryWriteProtected) {
  if (::geteuid() == 0) GTEST_SKIP() << "needs a user without root's right to write anywhere";
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);

  carrier.StoreConfiguration(IniName);

  ::chmod(dir.Path().c_str(), 0755);
  ExpectOldFileWhole();
}

TEST_F(FailedStore, FileWriteProtected) {
  if (::geteuid() == 0) GTEST_SKIP() << "needs a user without root's right to write anywhere";
  ASSERT_EQ(::chmod(dir.FilePath(IniName).c_str(), 0444), 0);

  carrier.StoreConfiguration(IniName);

  ExpectOldFileWhole();
}

}  // namespace
}  // namespace zel::test
