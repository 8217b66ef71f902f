// The port object over the fake serial line: what a set-up does to the device for each setting
// (the cases of tests/data/port/setups.txt), why it fails, the two time-out regimes, and the
// user's setup dialog with the file behind it.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/port/ComProperties.h"
#include "tests/port/PortTestSupport.h"
#include "tests/support/DataText.h"
#include "tests/support/FakeSerialPort.h"

namespace zel {
namespace {

PortSettings Settings(const std::vector<std::string>& texts) {
  PortSettings s = PortSettings::Defaults();
  s.PortNumber = "COM2";
  std::string* const fields[] = {&s.TransferRate,  &s.StopBits,   &s.Paritet,
                                 &s.LatencyPeriod, &s.DTRControl, &s.RTSControl};
  for (size_t i = 0; i < std::size(fields); ++i) *fields[i] = texts.at(i);
  return s;
}

struct PortObject : ::testing::Test, Notice {
  void ShowNotice(const std::string& text) override { notices.push_back(text); }
  PortObject() {
    port.ReportFailure = [this](const std::string& why) { reported.push_back(why); };
  }

  test::ScratchDirectory dir;
  std::shared_ptr<test::FakeLine> line = std::make_shared<test::FakeLine>();
  TComProperties port{std::make_unique<test::FakeSerialPort>(line),
                      dir.FilePath(ConfigurationFileName), *this};
  std::vector<std::string> reported, notices;
};

TEST_F(PortObject, SetUpAppliesEachSettingAndSaysWhyItFailed) {
  std::ifstream file(ZEL_TEST_DATA "/port/setups.txt");
  int cases = 0;
  for (std::string text; std::getline(file, text);) {
    if (text.empty() || text[0] == '#') continue;
    SCOPED_TRACE(text);
    ++cases;
    const std::vector<std::string> given = test::Split(text.substr(0, text.find("->")), "|");
    const std::vector<std::string> then = test::Split(text.substr(text.find("->") + 2), "|");
    const std::vector<std::string> device = test::Split(then[0], " ");
    *line = test::FakeLine();
    line->State = LineState{1200, 7, Parity::Odd, StopBits::Two};
    line->Dtr = line->Rts = true;
    line->OpenFails = given[6] == "open";
    line->SetStateFails = given[6] == "state";
    if (given[6] == "set-dtr") line->FailingFunctions = {ModemLineFunction::SetDTR};
    if (given[6] == "clear-rts") line->FailingFunctions = {ModemLineFunction::ClearRTS};
    reported.clear();
    port.SetProperties(Settings(given));
    port.SetupCOMPort();

    const bool configured = then[1] == "configured";
    EXPECT_EQ(port.IsPortConfigured, configured);
    EXPECT_EQ(port.SetupFailure, configured ? "" : then[1]);
    EXPECT_EQ(reported.size(), configured ? 0u : 1u);
    const auto stop = device[3] == "2"     ? StopBits::Two
                      : device[3] == "1.5" ? StopBits::OneAndHalf
                                           : StopBits::One;
    const LineState state{static_cast<uint32_t>(std::stoul(device[0])),
                          static_cast<uint8_t>(std::stoul(device[1])),
                          static_cast<Parity>(std::string("NOEMS").find(device[2])), stop};
    EXPECT_EQ(line->State, state);
    EXPECT_EQ(line->Dtr, device[4] == "1");
    EXPECT_EQ(line->Rts, device[5] == "1");
    if (configured) {
      EXPECT_EQ(line->Timeouts.ReadTotalTimeoutMultiplier, std::stoul(device[6]));
    }
  }
  EXPECT_GT(cases, 15) << "tests/data/port/setups.txt not read";
}

TEST_F(PortObject, TimeoutRegimesCarryTheWriteTimeoutsFromTheFile) {
  dir.Write(ConfigurationFileName,
            "PortNumber=COM3\r\nTransferRate=9600 baud\r\nLatencyPeriod=Approximately 0.5 second"
            "\r\nWriteTimeOutMultiplier=-4\r\nWriteTimeOutConstant=300\r\n");
  port.Init();
  ASSERT_TRUE(port.IsPortConfigured);
  EXPECT_EQ(line->OpenName, "COM3");
  // The null regime keeps the write time-outs; a negative one is none.
  EXPECT_TRUE(port.SetNullTimeouts());
  EXPECT_EQ(line->Timeouts.ReadTotalTimeoutMultiplier + line->Timeouts.WriteTotalTimeoutMultiplier,
            0u);
  EXPECT_EQ(line->Timeouts.WriteTotalTimeoutConstant, 300u);
  EXPECT_TRUE(port.SetDefaultTimeouts());
  EXPECT_EQ(line->Timeouts.ReadTotalTimeoutMultiplier, 2u);
  EXPECT_EQ(port.DefaultReadTotalTimeoutMs(), 25u + 256u * 2u);

  line->OpenFails = true;
  port.SetupCOMPort();
  EXPECT_EQ(line->CallsOf(test::FakeCallKind::Close).size(), 1u) << "a set-up reopens";
  EXPECT_EQ(port.PortHandle, PortHandleState::OpenFailed);
}

// A user who edits the settings: what he sees, and what he confirms.
class ScriptedEditor : public PortSettingsEditor {
 public:
  bool Edit(PortSettings& settings) override {
    shown = settings;
    if (during) during();
    if (confirms) settings = choice;
    return confirms;
  }
  bool confirms = false;
  PortSettings choice = Settings({"9600 baud", "2 bit", "Odd", "x", "Disable", "HandShake"});
  PortSettings shown;
  std::function<void()> during;
};

TEST_F(PortObject, SetupDialogStoresWhatWorksAndWarnsOtherwise) {
  const std::string file =
      "PortNumber=COM1\r\nTransferRate=75 baud\r\nStopBits=1 bit\r\n"
      "Paritet=None\r\nLatencyPeriod=Immediately answer\r\nDTRControl=Enable"
      "\r\nRTSControl=Enable\r\nWriteTimeOutMultiplier=3\r\n"
      "WriteTimeOutConstant=9\r\n";
  dir.Write(ConfigurationFileName, file);
  port.Init();
  ScriptedEditor editor;
  port.SetupDialog = &editor;

  port.UserSetupDialog();  // not confirmed
  EXPECT_EQ(test::Fields(editor.shown), test::Fields(port.Settings));
  editor.confirms = true;
  line->UnopenableNames = {"COM2"};
  port.UserSetupDialog();
  EXPECT_EQ(notices, std::vector<std::string>{CantOpenResourceText});
  EXPECT_EQ(port.Settings.PortNumber, "COM2") << "the failed choice is kept for the next try";
  EXPECT_EQ(dir.Read(ConfigurationFileName), file) << "the file keeps what worked";

  line->UnopenableNames.clear();
  port.UserSetupDialog();
  EXPECT_EQ(notices.size(), 1u);
  EXPECT_EQ(line->OpenName, "COM2");
  EXPECT_EQ(dir.Read(ConfigurationFileName),
            "PortNumber=COM2\r\nTransferRate=9600 baud\r\nStopBits=2 bit\r\nParitet=Odd\r\n"
            "LatencyPeriod=x\r\nDTRControl=Disable\r\nRTSControl=HandShake\r\n"
            "WriteTimeOutMultiplier=3\r\nWriteTimeOutConstant=9\r\n");
}

TEST_F(PortObject, UnwritableFileWarnsAndClosingInsideTheDialogTouchesNothing) {
  auto unwritable = std::make_unique<TComProperties>(std::make_unique<test::FakeSerialPort>(line),
                                                     "/dev/null/ZELdrv.ini", *this);
  unwritable->Init();
  ScriptedEditor editor;
  editor.confirms = true;
  unwritable->SetupDialog = &editor;
  unwritable->UserSetupDialog();
  EXPECT_TRUE(unwritable->IsPortConfigured);
  EXPECT_EQ(notices, std::vector<std::string>{CantStoreConfigurationText});

  editor.during = [&unwritable] { unwritable.reset(); };
  unwritable->UserSetupDialog();
  EXPECT_FALSE(line->IsOpen) << "the destroyed port object closed its device";
  EXPECT_EQ(notices.size(), 1u);
}

}  // namespace
}  // namespace zel
