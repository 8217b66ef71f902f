// The port object over the fake port: the set-up's steps and where each can fail, the settings
// texts turned into line values, the two time-out regimes, the modem lines, and the handle's
// life from construction to destruction.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "driver/port/ComProperties.h"
#include "tests/port/LineStates.h"
#include "tests/port/PortTestSupport.h"
#include "tests/support/FakeSerialPort.h"

namespace zel::test {
namespace {

using Kind = FakeCallKind;
using Modem = ModemLineFunction;

struct PortTexts {
  std::string portNumber = "COM2";
  std::string transferRate = "9600 baud";
  std::string stopBits = "1 bit";
  std::string paritet = "None";
  std::string latencyPeriod = "Immediately answer";
  std::string dtrControl = "HandShake";
  std::string rtsControl = "HandShake";
};

auto Tied(const CommTimeouts& t) {
  return std::make_tuple(t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                         t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                         t.WriteTotalTimeoutConstant);
}
using TimeoutValues = std::tuple<uint32_t, uint32_t, uint32_t, uint32_t, uint32_t>;

// The checks below that nothing reached the device hold only because the fake records the calls
// a closed port refuses as well.
TEST(FakePortRecord, KeepsTheCallsAClosedPortRefused) {
  FakePortOnLine fake = MakeFakePort();
  uint8_t byte = 0;
  EXPECT_EQ(fake.port->Read(&byte, 1), 0);
  EXPECT_EQ(fake.port->Write(&byte, 1), 0);
  EXPECT_FALSE(fake.port->SetTimeouts({}));
  EXPECT_EQ(fake.line->CallKinds(),
            (std::vector<Kind>{Kind::Read, Kind::Write, Kind::SetTimeouts}));
}

class PortObject : public ::testing::Test {
 protected:
  PortObject() { Fresh(); }

  // A new port object on a new line.
  void Fresh() {
    FakePortOnLine fake = MakeFakePort();
    line = fake.line;
    // Other than what the set-up writes, so that every written field shows.
    line->State = Line(1200, 7, Parity::Mark, StopBits::Two);
    port = std::make_unique<TComProperties>(std::move(fake.port));
  }
  void SetUpWith(const PortTexts& t) {
    port->SetProperties(t.portNumber, t.transferRate, t.stopBits, t.paritet, t.latencyPeriod,
                        t.dtrControl, t.rtsControl);
    port->SetupCOMPort();
  }
  std::vector<Modem> EscapeFunctions() const {
    std::vector<Modem> functions;
    for (const FakePortCall& call : line->CallsOf(Kind::EscapeFunction)) {
      functions.push_back(call.function);
    }
    return functions;
  }
  TimeoutValues LastTimeouts() const {
    const auto calls = line->CallsOf(Kind::SetTimeouts);
    if (calls.empty()) return {};
    return Tied(calls.back().timeouts);
  }

  std::shared_ptr<FakeLine> line;
  std::unique_ptr<TComProperties> port;
};

TEST_F(PortObject, SetUpRunsItsStepsInOrder) {
  SetUpWith({});

  EXPECT_EQ(line->CallKinds(),
            (std::vector<Kind>{Kind::Open, Kind::GetState, Kind::SetState, Kind::SetTimeouts}));
  EXPECT_EQ(line->Calls[0].name, "COM2");
  EXPECT_EQ(line->Calls[2].state, Line(9600, 8, Parity::None, StopBits::One));
  EXPECT_TRUE(port->IsPortConfigured);
  EXPECT_EQ(port->PortHandle, 1);
}

TEST_F(PortObject, FailedStepStopsTheSetUpThereAndLeavesThePortUnconfigured) {
  const std::pair<bool FakeLine::*, Kind> steps[] = {
      {&FakeLine::OpenFails, Kind::Open},
      {&FakeLine::GetStateFails, Kind::GetState},
      {&FakeLine::SetStateFails, Kind::SetState},
      {&FakeLine::SetTimeoutsFails, Kind::SetTimeouts}};
  for (const auto& [fails, step] : steps) {
    SCOPED_TRACE("failing step " + std::to_string(static_cast<int>(step)));
    Fresh();
    (*line).*fails = true;
    SetUpWith({});

    EXPECT_FALSE(port->IsPortConfigured);
    ASSERT_FALSE(line->Calls.empty());
    EXPECT_EQ(line->Calls.back().kind, step);
    EXPECT_FALSE(line->Calls.back().succeeded);
    // A failure after the open keeps the device open until the next set-up or the destructor...
    EXPECT_EQ(port->PortHandle, step == Kind::Open ? -1 : 1);
    EXPECT_EQ(line->IsOpen, step != Kind::Open);
    // ...and the time-out operations refuse to touch it.
    line->Calls.clear();
    EXPECT_FALSE(port->SetDefaultTimeouts());
    EXPECT_FALSE(port->SetNullTimeouts());
    EXPECT_TRUE(line->Calls.empty());
  }
}

TEST_F(PortObject, TransferRateIsThePositiveDecimalBeforeTheFirstBlank) {
  const std::pair<std::string, std::optional<uint32_t>> cases[] = {
      {"75 baud", 75},
      {"115200 baud", 115200},
      {"9600  baud", 9600},
      {"1234567 bits", 1234567},
      {"4294967295 baud", 4294967295u},
      // None: the set-up stops before it writes the state.
      {"9600", std::nullopt},
      {"", std::nullopt},
      {" 9600 baud", std::nullopt},
      {"9600\tbaud", std::nullopt},
      {"96OO baud", std::nullopt},
      {"-9600 baud", std::nullopt},
      {"0 baud", std::nullopt},
      {"4294967296 baud", std::nullopt}};
  for (const auto& [text, rate] : cases) {
    SCOPED_TRACE(text);
    line->Calls.clear();
    PortTexts texts;
    texts.transferRate = text;
    SetUpWith(texts);

    const auto states = line->CallsOf(Kind::SetState);
    EXPECT_EQ(port->IsPortConfigured, rate.has_value());
    if (rate) {
      ASSERT_EQ(states.size(), 1u);
      EXPECT_EQ(states[0].state.BaudRate, *rate);
    } else {
      EXPECT_TRUE(states.empty());
    }
  }
}

// Parity goes by fixed texts (not the dialog's list, whose order differs), the stop bits by
// position in their list; any other text keeps what the device has.
TEST_F(PortObject, ParityAndStopBitsFollowTheirTextsAndOtherTextsKeepTheDevicesOwn) {
  struct Row {
    std::string paritet, stopBits;
    Parity parityBefore;
    StopBits stopBefore;
    Parity parity;
    StopBits stop;
  };
  const Row rows[] = {
      {"None", "1 bit", Parity::Mark, StopBits::Two, Parity::None, StopBits::One},
      {"Odd", "1.5 bit", Parity::Mark, StopBits::Two, Parity::Odd, StopBits::OneAndHalf},
      {"Even", "2 bit", Parity::Mark, StopBits::One, Parity::Even, StopBits::Two},
      {"Mark", "2 bits", Parity::Space, StopBits::One, Parity::Mark, StopBits::One},
      {"Space", "1 Bit", Parity::Mark, StopBits::Two, Parity::Space, StopBits::Two},
      {"even", "", Parity::Odd, StopBits::OneAndHalf, Parity::Odd, StopBits::OneAndHalf},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.paritet + " / " + row.stopBits);
    line->Calls.clear();
    line->State = Line(1200, 7, row.parityBefore, row.stopBefore);
    PortTexts texts;
    texts.paritet = row.paritet;
    texts.stopBits = row.stopBits;
    SetUpWith(texts);

    const auto states = line->CallsOf(Kind::SetState);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].state, Line(9600, 8, row.parity, row.stop));
    EXPECT_TRUE(port->IsPortConfigured);
  }
}

TEST_F(PortObject, ModemLinesFollowTheSettingsAndTheLastOperationDecides) {
  struct Row {
    std::string dtr, rts;
    std::set<Modem> failing;
    std::vector<Modem> performed;
    bool configured;
  };
  const Row rows[] = {
      {"HandShake", "HandShake", {}, {}, true},
      {"enable", "Disable ", {}, {}, true},  // not list items: neither line is touched
      {"Disable", "Enable", {}, {Modem::ClearDTR, Modem::SetRTS}, true},
      {"Enable", "Disable", {}, {Modem::SetDTR, Modem::ClearRTS}, true},
      {"Disable", "Enable", {Modem::ClearDTR}, {Modem::ClearDTR, Modem::SetRTS}, true},
      {"Enable", "Disable", {Modem::ClearRTS}, {Modem::SetDTR, Modem::ClearRTS}, false},
      {"Enable", "HandShake", {Modem::SetDTR}, {Modem::SetDTR}, false},
      {"HandShake", "Enable", {Modem::SetDTR, Modem::ClearDTR}, {Modem::SetRTS}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.dtr + " / " + row.rts + ", failing " + std::to_string(row.failing.size()));
    line->Calls.clear();
    line->FailingFunctions = row.failing;
    PortTexts texts;
    texts.dtrControl = row.dtr;
    texts.rtsControl = row.rts;
    SetUpWith(texts);

    EXPECT_EQ(EscapeFunctions(), row.performed);
    EXPECT_EQ(port->IsPortConfigured, row.configured);
    // The lines come last; nothing follows them.
    EXPECT_EQ(line->Calls.back().kind,
              row.performed.empty() ? Kind::SetTimeouts : Kind::EscapeFunction);
  }
}

TEST_F(PortObject, LatencyTextGivesTheReadTotalMultiplier) {
  struct Row {
    std::string text;
    uint32_t multiplier;
    uint32_t wholeReadMs;
  };
  // The step is 1 up to the fourth item and 10 from the fifth, which therefore gives 5.
  const Row rows[] = {
      {"Immediately answer", 0, 25},           {"Approximately 0.25 second", 1, 281},
      {"Approximately 0.75 second", 3, 793},   {"Approximately 1.25 seconds", 5, 1305},
      {"Approximately 2.5 seconds", 10, 2585}, {"Approximately 20 seconds", 80, 20505},
      {"Approximately 1 second", 0, 25},       {"approximately 20 seconds", 0, 25},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    PortTexts texts;
    texts.latencyPeriod = row.text;
    SetUpWith(texts);

    EXPECT_EQ(port->DefaultReadTotalTimeoutMs(), row.wholeReadMs);
    EXPECT_EQ(LastTimeouts(), (TimeoutValues{50, row.multiplier, 25, 0, 0}));
    EXPECT_TRUE(port->IsPortConfigured);
  }
}

TEST_F(PortObject, TimeoutRegimesCarryTheWriteTimeoutsAndReportThePortsAnswer) {
  port->ActiveWriteMultiplier = 3;
  port->ActiveWriteConstant = 1000;
  PortTexts texts;
  texts.latencyPeriod = "Approximately 2.5 seconds";
  SetUpWith(texts);
  line->Calls.clear();

  EXPECT_TRUE(port->SetNullTimeouts());
  EXPECT_EQ(LastTimeouts(), (TimeoutValues{50, 0, 25, 3, 1000}));
  EXPECT_TRUE(port->SetDefaultTimeouts());
  EXPECT_EQ(LastTimeouts(), (TimeoutValues{50, 10, 25, 3, 1000}));
  EXPECT_EQ(line->CallKinds(), (std::vector<Kind>{Kind::SetTimeouts, Kind::SetTimeouts}));

  // Negative write time-outs from a hand-edited file count as none.
  port->ActiveWriteMultiplier = -1;
  port->ActiveWriteConstant = -2147483647 - 1;
  EXPECT_TRUE(port->SetDefaultTimeouts());
  EXPECT_EQ(LastTimeouts(), (TimeoutValues{50, 10, 25, 0, 0}));

  line->SetTimeoutsFails = true;
  EXPECT_FALSE(port->SetDefaultTimeouts());
  EXPECT_FALSE(port->SetNullTimeouts());
}

// Both the next set-up and the destructor close what the last set-up left open, and only that.
TEST_F(PortObject, SetUpAndDestructionCloseWhatTheLastSetUpLeftOpen) {
  struct Case {
    const char* legend;
    void (*breakLine)(FakeLine&);
    bool leftOpen;
  };
  const Case cases[] = {
      {"configured", [](FakeLine&) {}, true},
      {"failed after the open", [](FakeLine& l) { l.SetTimeoutsFails = true; }, true},
      {"open failed", [](FakeLine& l) { l.OpenFails = true; }, false},
  };
  const std::vector<Kind> closes = {Kind::Close};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    Fresh();
    c.breakLine(*line);
    SetUpWith({});
    line->Calls.clear();
    port.reset();
    EXPECT_EQ(line->CallKinds(), c.leftOpen ? closes : std::vector<Kind>{});

    Fresh();
    c.breakLine(*line);
    SetUpWith({});
    line->OpenFails = line->SetTimeoutsFails = false;
    line->Calls.clear();
    PortTexts other;
    other.portNumber = "COM4";
    SetUpWith(other);
    ASSERT_FALSE(line->Calls.empty());
    EXPECT_EQ(line->Calls.front().kind, c.leftOpen ? Kind::Close : Kind::Open);
    EXPECT_TRUE(line->Calls.front().succeeded);
    EXPECT_EQ(line->OpenName, "COM4");
    EXPECT_TRUE(port->IsPortConfigured);
    EXPECT_EQ(port->PortHandle, 1);
  }
}

TEST_F(PortObject, SetPropertiesLeavesTheOpenPortAlone) {
  SetUpWith({});
  line->Calls.clear();

  port->SetProperties("COM9", "a", "b", "c", "d", "e", "f");

  EXPECT_TRUE(line->Calls.empty());
  EXPECT_TRUE(port->IsPortConfigured);
}

TEST_F(PortObject, LineOperationsActOnWhateverIsOpenAndReportTheDevicesAnswer) {
  line->SetTimeoutsFails = true;  // open, but not configured
  SetUpWith({});
  ASSERT_FALSE(port->IsPortConfigured);
  line->FailingFunctions = {Modem::ClearDTR, Modem::SetRTS};
  line->Calls.clear();

  EXPECT_TRUE(port->setDTR());
  EXPECT_FALSE(port->moveDTR());
  EXPECT_FALSE(port->setRTS());
  EXPECT_TRUE(port->moveRTS());
  EXPECT_EQ(EscapeFunctions(),
            (std::vector<Modem>{Modem::SetDTR, Modem::ClearDTR, Modem::SetRTS, Modem::ClearRTS}));
}

TEST_F(PortObject, WithoutADeviceReadsWritesAndLineOperationsDoNothing) {
  line->QueueRead({1, 2, 3});
  uint8_t buffer[256] = {};
  const uint8_t frame[] = {5, 2, 1, 0, 0, 8, 0};
  for (const bool openFailed : {false, true}) {
    SCOPED_TRACE(openFailed ? "open failed" : "never set up");
    if (openFailed) {
      line->OpenFails = true;
      SetUpWith({});
    }
    line->Calls.clear();

    EXPECT_EQ(port->Read(buffer, 256), 0);
    EXPECT_EQ(port->Write(frame, 7), 0);
    EXPECT_FALSE(port->setDTR());
    EXPECT_FALSE(port->moveRTS());
    EXPECT_TRUE(line->CallsOf(Kind::Read).empty());
    EXPECT_TRUE(line->CallsOf(Kind::Write).empty());
  }
}

TEST_F(PortObject, ReadAndWriteGoThroughTheOpenDeviceAndNeverGiveANegativeCount) {
  SetUpWith({});
  line->QueueRead({1, 2, 3});
  uint8_t buffer[256] = {};
  const uint8_t frame[] = {5, 2, 1, 0, 0, 8, 0};

  EXPECT_EQ(port->Read(buffer, 256), 3);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 3), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(port->Write(frame, 7), 7);
  EXPECT_EQ(line->CallsOf(Kind::Write).back().bytes, std::vector<uint8_t>(frame, frame + 7));
  line->WriteResult = -5;
  EXPECT_EQ(port->Write(frame, 7), 0);
}

// --- Init: the configuration file, then the set-up, silently ---

class PortObjectInit : public ::testing::Test {
 protected:
  PortObjectInit() { port.SetupDialog = &carrier; }

  ScratchDirectory dir;
  RecordingNotice notice;
  PortSettingsCarrier carrier{dir.Path(), notice};
  FakePortOnLine fake = MakeFakePort();
  std::shared_ptr<FakeLine> line = fake.line;
  TComProperties port{std::move(fake.port)};
};

TEST_F(PortObjectInit, LoadsTheFileAndSetsThePortUp) {
  dir.Write("ZELdrv.ini",
            FileOf({"PortNumber=COM3", "TransferRate=19200 baud", "StopBits=2 bit", "Paritet=Odd",
                    "LatencyPeriod=Approximately 0.5 second", "DTRControl=Enable",
                    "RTSControl=Disable", "WriteTimeOutMultiplier=4", "WriteTimeOutConstant=700"}));

  port.Init();

  EXPECT_TRUE(port.IsPortConfigured);
  EXPECT_EQ(line->OpenName, "COM3");
  EXPECT_EQ(line->State, Line(19200, 8, Parity::Odd, StopBits::Two));
  EXPECT_EQ(Tied(line->Timeouts), (TimeoutValues{50, 2, 25, 4, 700}));
  EXPECT_TRUE(line->Dtr);
  EXPECT_FALSE(line->Rts);
  EXPECT_TRUE(notice.Texts.empty());
}

// Without a file the defaults are set up; a port that cannot be opened is not reported here.
TEST_F(PortObjectInit, MissingFileGivesCom1At75BaudAndAFailedOpenPassesSilently) {
  port.Init();

  EXPECT_TRUE(port.IsPortConfigured);
  EXPECT_EQ(line->OpenName, "COM1");
  EXPECT_EQ(line->State.BaudRate, 75u);
  EXPECT_TRUE(line->CallsOf(Kind::EscapeFunction).empty());
  EXPECT_FALSE(dir.Exists("ZELdrv.ini"));  // a missing file stays missing

  line->OpenFails = true;
  port.Init();

  EXPECT_FALSE(port.IsPortConfigured);
  EXPECT_LT(port.PortHandle, 0);
  EXPECT_TRUE(notice.Texts.empty());
}

}  // namespace
}  // namespace zel::test
