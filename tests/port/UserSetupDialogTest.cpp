// The user's setup dialog as the port object runs it, with a scripted user in place of the window:
// what a cancelled, a confirmed-and-working and a confirmed-but-failing dialog leave behind in the
// port object, on the line and in "ZELdrv.ini", and that a program closing inside the dialog's
// modal loop is survived.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "driver/port/ComProperties.h"
#include "driver/port/PortSettings.h"
#include "tests/port/PortTestSupport.h"
#include "tests/support/FakeSerialPort.h"

namespace zel::test {
namespace {

using Kind = FakeCallKind;

const std::string IniName = "ZELdrv.ini";
const std::string CantOpen = "Warning !  Can't open this resourse !";
const std::string CantStore = "Can't store current configuration !";

// Every setting different from its default; the write time-outs as written by hand.
const std::string StartFile =
    "PortNumber=COM2\r\n"
    "TransferRate=9600 baud\r\n"
    "StopBits=1 bit\r\n"
    "Paritet=None\r\n"
    "LatencyPeriod=Approximately 0.25 second\r\n"
    "DTRControl=Enable\r\n"
    "RTSControl=Disable\r\n"
    "WriteTimeOutMultiplier=-7\r\n"
    "WriteTimeOutConstant=1234\r\n";
const NineSettings StartSettings = {
    "COM2",   "9600 baud", "1 bit", "None", "Approximately 0.25 second",
    "Enable", "Disable",   -7,      1234};

// The dialog's user, as a script: what he does with the fields while the dialog is shown, and
// whether he then presses OK. Each showing records the fields as the user first sees them.
class ScriptedDialog : public PortSettingsCarrier {
 public:
  using PortSettingsCarrier::PortSettingsCarrier;

  bool ShowModally() override {
    Shown.push_back(SettingsOf(*this));
    if (!User) return false;
    return User(*this);
  }

  std::function<bool(ScriptedDialog&)> User;
  std::vector<NineSettings> Shown;
};

// The user picks `choice` in the seven fields and answers `confirm`.
std::function<bool(ScriptedDialog&)> Picks(const NineSettings& choice, bool confirm) {
  return [choice, confirm](ScriptedDialog& dialog) {
    // The integers have no control in the window; keep what the dialog holds.
    NineSettings typed = choice;
    typed.writeMultiplier = dialog.WriteTimeOutMultiplier;
    typed.writeConstant = dialog.WriteTimeOutConstant;
    Assign(dialog, typed);
    return confirm;
  };
}

NineSettings PortSettingsOf(const TComProperties& port) {
  return {port.PortNumber, port.TransferRate,          port.StopBits,
          port.Paritet,    port.LatencyPeriod,         port.DTRControl,
          port.RTSControl, port.ActiveWriteMultiplier, port.ActiveWriteConstant};
}

NineSettings With(NineSettings settings, const std::function<void(NineSettings&)>& change) {
  change(settings);
  return settings;
}

// The file as the driver writes it for `s`.
std::string FileFor(const NineSettings& s) {
  return "PortNumber=" + s.portNumber + "\r\nTransferRate=" + s.transferRate +
         "\r\nStopBits=" + s.stopBits + "\r\nParitet=" + s.paritet +
         "\r\nLatencyPeriod=" + s.latencyPeriod + "\r\nDTRControl=" + s.dtrControl +
         "\r\nRTSControl=" + s.rtsControl +
         "\r\nWriteTimeOutMultiplier=" + std::to_string(s.writeMultiplier) +
         "\r\nWriteTimeOutConstant=" + std::to_string(s.writeConstant) + "\r\n";
}

// A driver started on a working line with StartFile, as the main window leaves it after creation.
class SetupDialogFlow : public ::testing::Test {
 protected:
  SetupDialogFlow() {
    dir.Write(IniName, StartFile);
    FakePortOnLine fake = MakeFakePort();
    line = fake.line;
    port = std::make_unique<TComProperties>(std::move(fake.port));
    port->SetupDialog = &dialog;
    port->Init();
  }
  void SetUp() override {
    ASSERT_TRUE(port->IsPortConfigured);
    ASSERT_EQ(PortSettingsOf(*port), StartSettings);
    line->Calls.clear();
  }

  ScratchDirectory dir;
  RecordingNotice notice;
  ScriptedDialog dialog{dir.Path(), notice};
  std::shared_ptr<FakeLine> line;
  std::unique_ptr<TComProperties> port;
};

const NineSettings OtherChoice = {
    "COM3", "19200 baud", "2 bit", "Even", "Approximately 5 seconds", "Disable", "Enable", 0, 0};

// Esc, Cancel or the window ended from outside: all look the same to the flow. Each showing
// offers the port object's settings, whatever the fields held or the user typed before.
TEST_F(SetupDialogFlow, NotConfirmedChangesNothingAndReopensWithThePortsSettings) {
  Assign(dialog, With(OtherChoice,
                      [](NineSettings& s) { s.writeMultiplier = -7, s.writeConstant = 1234; }));
  dialog.User = Picks(OtherChoice, false);

  port->UserSetupDialog();

  EXPECT_TRUE(line->Calls.empty());
  EXPECT_EQ(line->OpenName, "COM2");
  EXPECT_TRUE(port->IsPortConfigured);
  EXPECT_EQ(PortSettingsOf(*port), StartSettings);
  EXPECT_EQ(dir.Read(IniName), StartFile);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{IniName});
  EXPECT_TRUE(notice.Texts.empty());

  dialog.User = nullptr;
  port->UserSetupDialog();
  EXPECT_EQ(dialog.Shown, (std::vector<NineSettings>{StartSettings, StartSettings}));
}

// The lines in another order and with LF endings load the same; what comes back is the file in
// the driver's own form, proving it was written.
TEST(SetupDialogFlowFile, ConfirmedUnchangedRewritesAHandWrittenFileInTheDriversForm) {
  ScratchDirectory dir;
  dir.Write(IniName,
            "WriteTimeOutConstant=1234\nWriteTimeOutMultiplier=-7\nRTSControl=Disable\n"
            "DTRControl=Enable\nLatencyPeriod=Approximately 0.25 second\nParitet=None\n"
            "StopBits=1 bit\nTransferRate=9600 baud\nPortNumber=COM2\n");
  RecordingNotice notice;
  ScriptedDialog dialog(dir.Path(), notice);
  TComProperties port(MakeFakePort().port);
  port.SetupDialog = &dialog;
  port.Init();
  dialog.User = [](ScriptedDialog&) { return true; };

  port.UserSetupDialog();

  EXPECT_EQ(dir.Read(IniName), StartFile);
  EXPECT_TRUE(notice.Texts.empty());
}

TEST_F(SetupDialogFlow, ConfirmedNewChoiceIsTakenOverSetUpAndStored) {
  dialog.User = Picks(OtherChoice, true);

  port->UserSetupDialog();

  const NineSettings expected =
      With(OtherChoice, [](NineSettings& s) { s.writeMultiplier = -7, s.writeConstant = 1234; });
  const std::vector<Kind> kinds = line->CallKinds();
  ASSERT_GE(kinds.size(), 2u);
  EXPECT_EQ(kinds[0], Kind::Close) << "the port is reopened with the new settings";
  EXPECT_EQ(kinds[1], Kind::Open);
  EXPECT_EQ(PortSettingsOf(*port), expected);
  EXPECT_TRUE(port->IsPortConfigured);
  EXPECT_EQ(line->OpenName, "COM3");
  EXPECT_EQ(line->State.BaudRate, 19200u);
  EXPECT_EQ(line->State.ParityMode, Parity::Even);
  EXPECT_EQ(line->State.StopBitCount, StopBits::Two);
  EXPECT_FALSE(line->Dtr);
  EXPECT_TRUE(line->Rts);
  EXPECT_EQ(dir.Read(IniName), FileFor(expected));
  EXPECT_TRUE(notice.Texts.empty());
}

TEST_F(SetupDialogFlow, TypedDeviceNameOutsideTheListIsOpenedAndStoredAsTyped) {
  for (const std::string typed : {"COM5", "/dev/ttyUSB0", "COM2 "}) {
    SCOPED_TRACE(typed);
    dialog.User = Picks(With(StartSettings, [&](NineSettings& s) { s.portNumber = typed; }), true);

    port->UserSetupDialog();

    EXPECT_EQ(port->PortNumber, typed);
    EXPECT_EQ(line->OpenName, typed);
    EXPECT_TRUE(port->IsPortConfigured);
    EXPECT_EQ(dir.Read(IniName),
              FileFor(With(StartSettings, [&](NineSettings& s) { s.portNumber = typed; })));
  }
  EXPECT_TRUE(notice.Texts.empty());
}

// The write time-outs have no control in the dialog; whatever the dialog's integers hold when
// the user confirms, the file gets back what was loaded at start-up.
TEST_F(SetupDialogFlow, HandWrittenWriteTimeoutsSurviveConfirmedDialogs) {
  const std::vector<std::string> speeds = {"1200 baud", "115200 baud", "300 baud"};
  for (const std::string& speed : speeds) {
    dialog.User = [speed](ScriptedDialog& d) {
      d.SpeedCBox = speed;
      d.WriteTimeOutMultiplier = 0;
      d.WriteTimeOutConstant = 99;
      return true;
    };
    port->UserSetupDialog();
  }

  EXPECT_EQ(dir.Read(IniName),
            FileFor(With(StartSettings, [](NineSettings& s) { s.transferRate = "300 baud"; })));
  EXPECT_EQ(port->ActiveWriteMultiplier, -7);
  EXPECT_EQ(port->ActiveWriteConstant, 1234);
  EXPECT_TRUE(notice.Texts.empty());
}

// Confirmed settings that do not give a working port: the device, the line, the texts. (Each
// way the set-up itself can fail is pinned with the port object.)
struct FailingSetUp {
  const char* legend;
  std::function<void(FakeLine&)> breakLine;
  std::function<void(NineSettings&)> choose;
};

class ConfirmedButFailing : public SetupDialogFlow,
                            public ::testing::WithParamInterface<FailingSetUp> {};

TEST_P(ConfirmedButFailing, WarnsOnceKeepsTheFailedSettingsAndLeavesTheFileAlone) {
  const FailingSetUp& failing = GetParam();
  const NineSettings choice = With(StartSettings, failing.choose);
  failing.breakLine(*line);
  dialog.User = Picks(choice, true);

  port->UserSetupDialog();

  EXPECT_EQ(notice.Texts, std::vector<std::string>{CantOpen});
  EXPECT_FALSE(port->IsPortConfigured);
  EXPECT_EQ(PortSettingsOf(*port), choice);
  EXPECT_EQ(dir.Read(IniName), StartFile);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{IniName});

  // The next showing offers what failed, not what is in the file.
  dialog.User = nullptr;
  port->UserSetupDialog();
  ASSERT_EQ(dialog.Shown.size(), 2u);
  EXPECT_EQ(dialog.Shown[1].portNumber, choice.portNumber);
  EXPECT_EQ(dialog.Shown[1].transferRate, choice.transferRate);
  EXPECT_EQ(notice.Texts.size(), 1u);
}

void Unchanged(NineSettings&) {}

INSTANTIATE_TEST_SUITE_P(
    EachFailure, ConfirmedButFailing,
    ::testing::Values(
        FailingSetUp{"NoSuchDevice", [](FakeLine& l) { l.UnopenableNames = {"COM4"}; },
                     [](NineSettings& s) { s.portNumber = "COM4"; }},
        FailingSetUp{"StateNotTaken", [](FakeLine& l) { l.SetStateFails = true; }, Unchanged},
        FailingSetUp{"RateNotANumber", [](FakeLine&) {},
                     [](NineSettings& s) { s.transferRate = "fast baud"; }}),
    [](const ::testing::TestParamInfo<FailingSetUp>& param) { return param.param.legend; });

TEST_F(SetupDialogFlow, AWorkingSetUpAfterAFailedOneStoresAgain) {
  line->UnopenableNames = {"COM4"};
  dialog.User = Picks(With(StartSettings, [](NineSettings& s) { s.portNumber = "COM4"; }), true);
  port->UserSetupDialog();
  dialog.User = Picks(With(StartSettings, [](NineSettings& s) { s.portNumber = "COM1"; }), true);

  port->UserSetupDialog();

  EXPECT_TRUE(port->IsPortConfigured);
  EXPECT_EQ(line->OpenName, "COM1");
  EXPECT_EQ(dir.Read(IniName),
            FileFor(With(StartSettings, [](NineSettings& s) { s.portNumber = "COM1"; })));
  EXPECT_EQ(notice.Texts, std::vector<std::string>{CantOpen});
}

// The program directory has gone: the port is set up with the new settings all the same.
TEST(SetupDialogFlowFile, StoreFailureTellsTheUserAndLeavesThePortSetUp) {
  ScratchDirectory dir;
  RecordingNotice notice;
  ScriptedDialog dialog(dir.Path() + "absent/", notice);
  FakePortOnLine fake = MakeFakePort();
  TComProperties port(std::move(fake.port));
  port.SetupDialog = &dialog;
  port.Init();
  dialog.User = [](ScriptedDialog& d) {
    d.PortNumCBox = "COM3";
    return true;
  };

  port.UserSetupDialog();

  EXPECT_EQ(notice.Texts, std::vector<std::string>{CantStore});
  EXPECT_TRUE(port.IsPortConfigured);
  EXPECT_TRUE(fake.line->IsOpen);
  EXPECT_EQ(fake.line->OpenName, "COM3");
  EXPECT_EQ(port.PortNumber, "COM3");
  EXPECT_TRUE(dir.Entries().empty());
}

TEST(SetupDialogFlowFile, WithoutADialogNothingHappens) {
  FakePortOnLine fake = MakeFakePort();
  TComProperties port(std::move(fake.port));

  port.UserSetupDialog();

  EXPECT_TRUE(fake.line->Calls.empty());
  EXPECT_FALSE(port.IsPortConfigured);
}

// "Close" arriving while the dialog is open: the main window destroys the port object and ends
// the dialog as cancelled; or the user's OK and the "Close" were served in one turn of the loop,
// so the dialog reports OK although the object is gone. Touching the destroyed object afterwards
// is what the sanitizer build catches; here the line and the file show that nothing was applied.
TEST_F(SetupDialogFlow, ProgramClosingInsideTheDialogAppliesNothing) {
  for (const bool confirmed : {false, true}) {
    SCOPED_TRACE(confirmed ? "after OK" : "cancelled");
    if (!port) {
      FakePortOnLine fake = MakeFakePort();
      line = fake.line;
      port = std::make_unique<TComProperties>(std::move(fake.port));
      port->SetupDialog = &dialog;
      port->Init();
      line->Calls.clear();
    }
    dialog.User = [this, confirmed](ScriptedDialog& d) {
      Assign(d, OtherChoice);
      port.reset();
      return confirmed;
    };

    port->UserSetupDialog();  // `port` is null afterwards; the call was made on the live object

    EXPECT_EQ(port, nullptr);
    EXPECT_FALSE(line->IsOpen);
    // The destruction's close, and nothing after it.
    EXPECT_EQ(line->CallKinds(), std::vector<Kind>{Kind::Close});
    EXPECT_EQ(dir.Read(IniName), StartFile);
    EXPECT_TRUE(notice.Texts.empty());
  }
}

}  // namespace
}  // namespace zel::test
