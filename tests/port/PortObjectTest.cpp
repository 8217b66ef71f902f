// The port object over the fake serial line: what a set-up does to the device for each setting,
// why it fails, the two time-out regimes, and the user's setup dialog with the file behind it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/port/ComProperties.h"
#include "tests/port/LineStates.h"
#include "tests/port/PortTestSupport.h"
#include "tests/support/FakeSerialPort.h"

namespace zel {
namespace {

using test::FakeCallKind;

PortSettings Settings(const char* rate, const char* stop, const char* parity, const char* latency,
                      const char* dtr, const char* rts) {
  PortSettings s = PortSettings::Defaults();
  s.PortNumber = "COM2";
  s.TransferRate = rate, s.StopBits = stop, s.Paritet = parity, s.LatencyPeriod = latency;
  s.DTRControl = dtr, s.RTSControl = rts;
  return s;
}

struct PortObject : ::testing::Test {
  PortObject() {
    line->State = Line(1200, 7, Parity::Odd, StopBits::Two);
    port.ReportFailure = [this](const std::string& why) { reported.push_back(why); };
  }
  void SetUpWith(const PortSettings& settings) {
    port.SetProperties(settings);
    port.SetupCOMPort();
  }

  test::ScratchDirectory dir;
  test::RecordingNotice notice;
  std::shared_ptr<test::FakeLine> line = std::make_shared<test::FakeLine>();
  TComProperties port{std::make_unique<test::FakeSerialPort>(line),
                      dir.FilePath(ConfigurationFileName), notice};
  std::vector<std::string> reported;
};

TEST_F(PortObject, SetUpAppliesEachSettingAndSaysWhyItFailed) {
  const struct {
    const char* legend;
    PortSettings settings;
    std::function<void(test::FakeLine&)> spoil;
    LineState state;      // as the device has it afterwards
    uint32_t multiplier;  // of the read total time-out in force
    bool dtr, rts;        // both start raised
    std::string failure;  // empty: configured
  } rows[] = {
      {"listed texts", Settings("115200 baud", "2 bit", "Even", "Approximately 1.25 seconds",
                                "Disable", "Enable"),
       nullptr, Line(115200, 8, Parity::Even, StopBits::Two), 5, false, true, ""},
      {"texts outside the lists keep the device's own",
       Settings("300 bits", "3 bit", "even", "soon", "enable", "HandShake"), nullptr,
       Line(300, 8, Parity::Odd, StopBits::Two), 0, true, true, ""},
      {"a rate that is no number", Settings("fast baud", "1 bit", "None", "", "", ""), nullptr,
       Line(1200, 7, Parity::Odd, StopBits::Two), 0, true, true,
       "port: COM2: \"fast baud\" names no transfer rate"},
      {"a rate of 0", Settings("0 baud", "1 bit", "None", "", "", ""), nullptr,
       Line(1200, 7, Parity::Odd, StopBits::Two), 0, true, true,
       "port: COM2: \"0 baud\" names no transfer rate"},
      {"the device refuses to open", Settings("75 baud", "", "", "", "", ""),
       [](test::FakeLine& l) { l.OpenFails = true; },
       Line(1200, 7, Parity::Odd, StopBits::Two), 0, true, true,
       "port: fake: the call failed"},
      {"the device refuses the state", Settings("75 baud", "", "", "", "", ""),
       [](test::FakeLine& l) { l.SetStateFails = true; },
       Line(1200, 7, Parity::Odd, StopBits::Two), 0, true, true,
       "port: fake: the call failed"},
      {"the last line operation decides: DTR failed, RTS worked",
       Settings("75 baud", "", "", "Approximately 20 seconds", "Enable", "Disable"),
       [](test::FakeLine& l) { l.FailingFunctions = {ModemLineFunction::SetDTR}; },
       Line(75, 8, Parity::Odd, StopBits::Two), 80, true, false, ""},
      {"RTS failed", Settings("75 baud", "", "", "", "HandShake", "Disable"),
       [](test::FakeLine& l) { l.FailingFunctions = {ModemLineFunction::ClearRTS}; },
       Line(75, 8, Parity::Odd, StopBits::Two), 0, true, true,
       "port: fake: the call failed"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.legend);
    *line = test::FakeLine();
    line->State = Line(1200, 7, Parity::Odd, StopBits::Two);
    line->Dtr = line->Rts = true;
    reported.clear();
    if (row.spoil) row.spoil(*line);
    SetUpWith(row.settings);
    EXPECT_EQ(port.IsPortConfigured, row.failure.empty());
    EXPECT_EQ(port.SetupFailure, row.failure);
    EXPECT_EQ(reported, row.failure.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{row.failure});
    EXPECT_EQ(line->State, row.state);
    EXPECT_EQ(line->Dtr, row.dtr);
    EXPECT_EQ(line->Rts, row.rts);
    if (row.failure.empty()) {
      EXPECT_EQ(line->Timeouts.ReadTotalTimeoutMultiplier, row.multiplier);
      EXPECT_EQ(line->OpenName, "COM2");
    }
  }
}

TEST_F(PortObject, TimeoutRegimesCarryTheWriteTimeoutsFromTheFile) {
  dir.Write(ConfigurationFileName,
            "PortNumber=COM3\r\nTransferRate=9600 baud\r\nLatencyPeriod=Approximately 0.5 second"
            "\r\nWriteTimeOutMultiplier=-4\r\nWriteTimeOutConstant=300\r\n");
  port.Init();
  ASSERT_TRUE(port.IsPortConfigured);
  EXPECT_EQ(line->OpenName, "COM3");
  EXPECT_TRUE(port.SetNullTimeouts());
  EXPECT_EQ(line->Timeouts.ReadIntervalTimeout, 50u);
  EXPECT_EQ(line->Timeouts.ReadTotalTimeoutConstant, 25u);
  EXPECT_EQ(line->Timeouts.ReadTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(line->Timeouts.WriteTotalTimeoutMultiplier, 0u) << "a negative time-out is none";
  EXPECT_EQ(line->Timeouts.WriteTotalTimeoutConstant, 300u);
  EXPECT_TRUE(port.SetDefaultTimeouts());
  EXPECT_EQ(line->Timeouts.ReadTotalTimeoutMultiplier, 2u);
  EXPECT_EQ(port.DefaultReadTotalTimeoutMs(), 25u + 256u * 2u);
  // How long a whole read may take for each latency choice, in ms per byte.
  const uint32_t perByte[] = {0, 1, 2, 3, 5, 10, 20, 30, 40, 50, 60, 70, 80};
  for (size_t i = 0; i < LatencyPeriodItems.size(); ++i) {
    port.Settings.LatencyPeriod = LatencyPeriodItems[i].text;
    EXPECT_EQ(port.DefaultReadTotalTimeoutMs(), 25u + 256u * perByte[i]) << LatencyPeriodItems[i].text;
  }

  line->SetTimeoutsFails = true;
  EXPECT_FALSE(port.SetDefaultTimeouts());
  port.SetIsPortConfigured(false);
  line->Calls.clear();
  EXPECT_FALSE(port.SetNullTimeouts());
  EXPECT_TRUE(line->Calls.empty()) << "an unconfigured port is not asked";
}

TEST_F(PortObject, MissingFileGivesCom1At75BaudAndEachSetUpReopens) {
  port.Init();
  EXPECT_EQ(test::Fields(port.Settings), test::Fields(PortSettings::Defaults()));
  EXPECT_EQ(line->State.BaudRate, 75u);
  SetUpWith(Settings("75 baud", "", "", "", "", ""));
  EXPECT_EQ(line->CallsOf(FakeCallKind::Close).size(), 1u);
  EXPECT_EQ(line->OpenName, "COM2");
  line->OpenFails = true;
  SetUpWith(Settings("75 baud", "", "", "", "", ""));
  uint8_t byte = 1;
  EXPECT_EQ(port.Read(&byte, 1), 0);
  EXPECT_EQ(port.Write(&byte, 1), 0);
  EXPECT_EQ(port.PortHandle, PortHandleState::OpenFailed);
}

// A user who edits the settings: what he confirms, and what the line then does.
class ScriptedEditor : public PortSettingsEditor {
 public:
  bool Edit(PortSettings& settings) override {
    shown = settings;
    if (during) during();
    if (confirms) settings = choice;
    return confirms;
  }
  bool confirms = false;
  PortSettings choice, shown;
  std::function<void()> during;
};

TEST_F(PortObject, SetupDialogStoresWhatWorksAndWarnsOtherwise) {
  const std::string file = "PortNumber=COM1\r\nTransferRate=75 baud\r\nStopBits=1 bit\r\n"
                           "Paritet=None\r\nLatencyPeriod=Immediately answer\r\nDTRControl=Enable"
                           "\r\nRTSControl=Enable\r\nWriteTimeOutMultiplier=3\r\n"
                           "WriteTimeOutConstant=9\r\n";
  dir.Write(ConfigurationFileName, file);
  port.Init();
  ScriptedEditor editor;
  port.SetupDialog = &editor;
  editor.choice = Settings("9600 baud", "2 bit", "Odd", "x", "Disable", "HandShake");

  port.UserSetupDialog();  // not confirmed
  EXPECT_EQ(test::Fields(editor.shown), test::Fields(port.Settings));
  EXPECT_EQ(dir.Read(ConfigurationFileName), file);

  editor.confirms = true;
  line->UnopenableNames = {"COM2"};
  port.UserSetupDialog();
  EXPECT_EQ(notice.Texts, std::vector<std::string>{CantOpenResourceText});
  EXPECT_EQ(port.Settings.PortNumber, "COM2") << "the failed choice is kept for the next try";
  EXPECT_EQ(dir.Read(ConfigurationFileName), file) << "the file keeps what worked";

  line->UnopenableNames.clear();
  port.UserSetupDialog();
  EXPECT_EQ(notice.Texts.size(), 1u);
  EXPECT_EQ(line->OpenName, "COM2");
  EXPECT_EQ(dir.Read(ConfigurationFileName),
            "PortNumber=COM2\r\nTransferRate=9600 baud\r\nStopBits=2 bit\r\nParitet=Odd\r\n"
            "LatencyPeriod=x\r\nDTRControl=Disable\r\nRTSControl=HandShake\r\n"
            "WriteTimeOutMultiplier=3\r\nWriteTimeOutConstant=9\r\n");
}

TEST(PortObjectLife, UnwritableFileWarnsAndClosingInsideTheDialogTouchesNothing) {
  test::RecordingNotice notice;
  auto line = std::make_shared<test::FakeLine>();
  auto port = std::make_unique<TComProperties>(std::make_unique<test::FakeSerialPort>(line),
                                               "/nonexistent-zel/ZELdrv.ini", notice);
  port->Init();
  ScriptedEditor editor;
  editor.confirms = true;
  editor.choice = Settings("9600 baud", "", "", "", "", "");
  port->SetupDialog = &editor;
  port->UserSetupDialog();
  EXPECT_TRUE(port->IsPortConfigured);
  EXPECT_EQ(notice.Texts, std::vector<std::string>{CantStoreConfigurationText});

  editor.during = [&port] { port.reset(); };
  port->UserSetupDialog();
  EXPECT_FALSE(line->IsOpen) << "the destroyed port object closed its device";
  EXPECT_EQ(notice.Texts.size(), 1u);
}

}  // namespace
}  // namespace zel
