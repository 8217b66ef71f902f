// The port object over the fake port: the set-up's steps and where each can fail, the settings
// texts turned into line values, the two time-out regimes, the modem lines, and the handle's
// life from construction to destruction.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "driver/port/ComResourceSetup.h"
#include "tests/frames/FrameTestSupport.h"
#include "tests/port/PortTestSupport.h"
#include "tests/support/FakeSerialPort.h"

namespace zel::testing {
namespace {

using Kind = FakeCallKind;
using Line = ModemLineFunction;

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

// Some state other than what the set-up writes, so that every written field shows.
LineState DeviceStateBefore() {
  LineState state;
  state.BaudRate = 1200;
  state.ByteSize = 7;
  state.ParityMode = Parity::Mark;
  state.StopBitCount = StopBits::Two;
  return state;
}

class PortObject : public ::testing::Test {
 protected:
  PortObject() {
    FakePortOnLine fake = MakeFakePort();
    line = fake.line;
    line->State = DeviceStateBefore();
    port = std::make_unique<TComProperties>(std::move(fake.port));
  }

  void Use(const PortTexts& t) {
    port->SetProperties(t.portNumber, t.transferRate, t.stopBits, t.paritet, t.latencyPeriod,
                        t.dtrControl, t.rtsControl);
  }
  void SetUpWith(const PortTexts& t) {
    Use(t);
    port->SetupCOMPort();
  }
  std::vector<Line> EscapeFunctions() const {
    std::vector<Line> functions;
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

TEST_F(PortObject, StartsWithNoPortAndNoSettings) {
  EXPECT_EQ(port->PortHandle, 0);
  EXPECT_FALSE(port->IsPortConfigured);
  EXPECT_EQ(port->SetupDialog, nullptr);
  EXPECT_EQ(port->PortNumber + port->TransferRate + port->StopBits + port->Paritet +
                port->LatencyPeriod + port->DTRControl + port->RTSControl,
            "");
  EXPECT_TRUE(line->Calls.empty());
}

TEST_F(PortObject, SetUpRunsItsStepsInOrder) {
  SetUpWith({});

  EXPECT_EQ(line->CallKinds(),
            (std::vector<Kind>{Kind::Open, Kind::GetState, Kind::SetState, Kind::SetTimeouts,
                               Kind::GetEventMask, Kind::SetEventMask}));
  EXPECT_EQ(line->Calls[0].name, "COM2");
  LineState expected;
  expected.BaudRate = 9600;
  expected.ByteSize = 8;
  expected.ParityMode = Parity::None;
  expected.StopBitCount = StopBits::One;
  EXPECT_EQ(line->Calls[2].state, expected);
  EXPECT_EQ(line->Calls[5].mask, kEvRxChar);
  EXPECT_TRUE(port->IsPortConfigured);
  EXPECT_EQ(port->PortHandle, 1);
}

TEST_F(PortObject, SetUpOpensTheNameExactlyAsStored) {
  SetUpWith({"COM2 "});

  ASSERT_FALSE(line->Calls.empty());
  EXPECT_EQ(line->Calls.front().name, "COM2 ");
}

TEST_F(PortObject, SetUpAddsTheReceiveEventToTheDevicesMask) {
  line->EventMaskAtOpen = 0x0104;
  SetUpWith({});

  const auto got = line->CallsOf(Kind::GetEventMask);
  const auto set = line->CallsOf(Kind::SetEventMask);
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(set.size(), 1u);
  EXPECT_EQ(got[0].mask, 0x0104u);
  EXPECT_EQ(set[0].mask, 0x0105u);
  EXPECT_TRUE(port->IsPortConfigured);
}

struct StepFailure {
  std::string name;
  void (*arrange)(FakeLine&, PortTexts&);
  Kind lastCall;        // the call the set-up stopped after
  bool lastCallFailed;  // false when the set-up itself refused to go on
  int32_t handle;
};

std::vector<StepFailure> StepFailures() {
  return {
      {"OpenOfAnyName", [](FakeLine& l, PortTexts&) { l.OpenFails = true; }, Kind::Open, true, -1},
      {"OpenOfNoSuchDevice",
       [](FakeLine& l, PortTexts& t) {
         l.UnopenableNames = {"COM3"};
         t.portNumber = "COM3";
       },
       Kind::Open, true, -1},
      {"GetState", [](FakeLine& l, PortTexts&) { l.GetStateFails = true; }, Kind::GetState, true,
       1},
      {"RateWithoutBlank", [](FakeLine&, PortTexts& t) { t.transferRate = "9600"; }, Kind::GetState,
       false, 1},
      {"SetState", [](FakeLine& l, PortTexts&) { l.SetStateFails = true; }, Kind::SetState, true,
       1},
      {"SetTimeouts", [](FakeLine& l, PortTexts&) { l.SetTimeoutsFails = true; }, Kind::SetTimeouts,
       true, 1},
      {"GetEventMask", [](FakeLine& l, PortTexts&) { l.GetEventMaskFails = true; },
       Kind::GetEventMask, true, 1},
      {"SetEventMask", [](FakeLine& l, PortTexts&) { l.SetEventMaskFails = true; },
       Kind::SetEventMask, true, 1},
      {"FinalLineOperation",
       [](FakeLine& l, PortTexts& t) {
         t.dtrControl = "Disable";
         l.FailingFunctions = {Line::ClearDTR};
       },
       Kind::EscapeFunction, true, 1},
  };
}

class FailedSetUpStep : public PortObject, public ::testing::WithParamInterface<StepFailure> {};

TEST_P(FailedSetUpStep, StopsThereAndLeavesThePortUnconfigured) {
  const StepFailure& f = GetParam();
  PortTexts texts;
  f.arrange(*line, texts);

  SetUpWith(texts);

  EXPECT_FALSE(port->IsPortConfigured);
  EXPECT_EQ(port->PortHandle, f.handle);
  ASSERT_FALSE(line->Calls.empty());
  EXPECT_EQ(line->Calls.back().kind, f.lastCall);
  EXPECT_EQ(line->Calls.back().succeeded, !f.lastCallFailed);
  // A failure after the open keeps the device open until the next set-up or the destructor.
  EXPECT_EQ(line->IsOpen, f.handle > 0);
  // ...and the time-out operations refuse to touch it.
  const size_t timeoutCalls = line->CallsOf(Kind::SetTimeouts).size();
  EXPECT_FALSE(port->SetDefaultTimeouts());
  EXPECT_FALSE(port->SetNullTimeouts());
  EXPECT_EQ(line->CallsOf(Kind::SetTimeouts).size(), timeoutCalls);
}

INSTANTIATE_TEST_SUITE_P(PortObject, FailedSetUpStep, ::testing::ValuesIn(StepFailures()),
                         CaseName());

TEST_F(PortObject, NoSuchDeviceMeansLineOperationsFailToo) {
  line->UnopenableNames = {"COM3"};
  PortTexts texts;
  texts.portNumber = "COM3";
  SetUpWith(texts);

  EXPECT_FALSE(port->IsPortConfigured);
  EXPECT_FALSE(port->setDTR());
}

struct RateCase {
  std::string text;
  std::optional<uint32_t> rate;  // none: the set-up fails before writing the state
};

std::vector<RateCase> RateCases() {
  std::vector<RateCase> cases = {
      {"9600  baud", 9600},         {"1234567 bits", 1234567},   {"4294967295 baud", 4294967295u},
      {"9600", std::nullopt},       {"", std::nullopt},          {" 9600 baud", std::nullopt},
      {"baud 9600", std::nullopt},  {"96OO baud", std::nullopt}, {"-9600 baud", std::nullopt},
      {"+9600 baud", std::nullopt}, {"0 baud", std::nullopt},    {"4294967296 baud", std::nullopt},
      {"9600\tbaud", std::nullopt},
  };
  const uint32_t listRates[] = {75,   110,  134,  150,   300,   600,   1200,  1800,  2400,
                                4800, 7200, 9600, 14400, 19200, 38400, 57600, 115200};
  for (size_t i = 0; i < TransferRateItems.size(); ++i) {
    cases.push_back({TransferRateItems[i], listRates[i]});
  }
  return cases;
}

class TransferRateText : public PortObject, public ::testing::WithParamInterface<RateCase> {};

TEST_P(TransferRateText, GivesTheNumberBeforeTheFirstBlank) {
  PortTexts texts;
  texts.transferRate = GetParam().text;
  SetUpWith(texts);

  const auto states = line->CallsOf(Kind::SetState);
  if (GetParam().rate) {
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].state.BaudRate, *GetParam().rate);
    EXPECT_TRUE(port->IsPortConfigured);
  } else {
    EXPECT_TRUE(states.empty());
    EXPECT_FALSE(port->IsPortConfigured);
    EXPECT_EQ(port->PortHandle, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(PortObject, TransferRateText, ::testing::ValuesIn(RateCases()));

struct ParityCase {
  std::string text;
  std::optional<Parity> parity;  // none: the device's own parity stays
};

class ParityText : public PortObject, public ::testing::WithParamInterface<ParityCase> {};

TEST_P(ParityText, MapsFixedTextsAndLeavesOthersAsTheDeviceHasThem) {
  for (const Parity before : {Parity::None, Parity::Space}) {
    SCOPED_TRACE(static_cast<int>(before));
    line->Calls.clear();
    line->State.ParityMode = before;
    PortTexts texts;
    texts.paritet = GetParam().text;
    SetUpWith(texts);

    const auto states = line->CallsOf(Kind::SetState);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].state.ParityMode, GetParam().parity.value_or(before));
    EXPECT_TRUE(port->IsPortConfigured);
  }
}

INSTANTIATE_TEST_SUITE_P(
    PortObject, ParityText,
    ::testing::Values(ParityCase{"None", Parity::None}, ParityCase{"Odd", Parity::Odd},
                      ParityCase{"Even", Parity::Even}, ParityCase{"Mark", Parity::Mark},
                      ParityCase{"Space", Parity::Space}, ParityCase{"even", std::nullopt},
                      ParityCase{"None ", std::nullopt}, ParityCase{"", std::nullopt}));

struct StopBitsCase {
  std::string text;
  std::optional<StopBits> stopBits;
};

class StopBitsText : public PortObject, public ::testing::WithParamInterface<StopBitsCase> {};

TEST_P(StopBitsText, MapsListItemsByPosition) {
  for (const StopBits before : {StopBits::One, StopBits::Two}) {
    SCOPED_TRACE(static_cast<int>(before));
    line->Calls.clear();
    line->State.StopBitCount = before;
    PortTexts texts;
    texts.stopBits = GetParam().text;
    SetUpWith(texts);

    const auto states = line->CallsOf(Kind::SetState);
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].state.StopBitCount, GetParam().stopBits.value_or(before));
    EXPECT_EQ(states[0].state.ByteSize, 8);
  }
}

INSTANTIATE_TEST_SUITE_P(PortObject, StopBitsText,
                         ::testing::Values(StopBitsCase{"1 bit", StopBits::One},
                                           StopBitsCase{"1.5 bit", StopBits::OneAndHalf},
                                           StopBitsCase{"2 bit", StopBits::Two},
                                           StopBitsCase{"1 Bit", std::nullopt},
                                           StopBitsCase{"2 bits", std::nullopt},
                                           StopBitsCase{"", std::nullopt}));

struct ModemLinesCase {
  std::string name;
  std::string dtr, rts;
  std::set<Line> failing;
  std::vector<Line> performed;
  bool configured;
};

std::vector<ModemLinesCase> ModemLinesCases() {
  return {
      {"HandShakeTouchesNeitherLine", "HandShake", "HandShake", {}, {}, true},
      {"OtherTextsTouchNeitherLine", "enable", "Disable ", {}, {}, true},
      {"DtrDisableDropsDtr", "Disable", "HandShake", {}, {Line::ClearDTR}, true},
      {"DtrEnableRaisesDtr", "Enable", "HandShake", {}, {Line::SetDTR}, true},
      {"RtsDisableDropsRts", "HandShake", "Disable", {}, {Line::ClearRTS}, true},
      {"RtsEnableRaisesRts", "HandShake", "Enable", {}, {Line::SetRTS}, true},
      {"DtrBeforeRts", "Disable", "Enable", {}, {Line::ClearDTR, Line::SetRTS}, true},
      {"EnableThenDisable", "Enable", "Disable", {}, {Line::SetDTR, Line::ClearRTS}, true},
      {"RtsResultReplacesAFailedDtr",
       "Disable",
       "Enable",
       {Line::ClearDTR},
       {Line::ClearDTR, Line::SetRTS},
       true},
      {"FailedRtsFailsTheSetUp",
       "Disable",
       "Enable",
       {Line::SetRTS},
       {Line::ClearDTR, Line::SetRTS},
       false},
      {"RtsDropResultReplacesAFailedDtr",
       "Enable",
       "Disable",
       {Line::SetDTR},
       {Line::SetDTR, Line::ClearRTS},
       true},
      {"FailedRtsDropFailsTheSetUp",
       "HandShake",
       "Disable",
       {Line::ClearRTS},
       {Line::ClearRTS},
       false},
      {"FailedDtrAloneFailsTheSetUp", "Enable", "HandShake", {Line::SetDTR}, {Line::SetDTR}, false},
      {"UntouchedLineCannotFail",
       "HandShake",
       "Enable",
       {Line::SetDTR, Line::ClearDTR},
       {Line::SetRTS},
       true},
  };
}

class ModemLinesAtSetUp : public PortObject,
                          public ::testing::WithParamInterface<ModemLinesCase> {};

TEST_P(ModemLinesAtSetUp, FollowTheSettingsAndTheLastOperationDecides) {
  const ModemLinesCase& c = GetParam();
  line->FailingFunctions = c.failing;
  PortTexts texts;
  texts.dtrControl = c.dtr;
  texts.rtsControl = c.rts;

  SetUpWith(texts);

  EXPECT_EQ(EscapeFunctions(), c.performed);
  EXPECT_EQ(port->IsPortConfigured, c.configured);
  // The lines come last; nothing follows them.
  if (!c.performed.empty()) {
    EXPECT_EQ(line->Calls.back().kind, Kind::EscapeFunction);
  }
}

INSTANTIATE_TEST_SUITE_P(PortObject, ModemLinesAtSetUp, ::testing::ValuesIn(ModemLinesCases()),
                         CaseName());

struct LatencyCase {
  std::string text;
  uint32_t multiplier;
  uint32_t wholeReadMs;
};

class LatencyText : public PortObject, public ::testing::WithParamInterface<LatencyCase> {};

TEST_P(LatencyText, GivesTheReadTotalMultiplier) {
  const LatencyCase& c = GetParam();
  PortTexts texts;
  texts.latencyPeriod = c.text;
  SetUpWith(texts);

  EXPECT_EQ(LatencyMultiplier(c.text), c.multiplier);
  EXPECT_EQ(port->DefaultReadTotalTimeoutMs(), c.wholeReadMs);
  EXPECT_EQ(LastTimeouts(), (TimeoutValues{50, c.multiplier, 25, 0, 0}));
  EXPECT_TRUE(port->IsPortConfigured);
}

INSTANTIATE_TEST_SUITE_P(PortObject, LatencyText,
                         ::testing::Values(LatencyCase{"Immediately answer", 0, 25},
                                           LatencyCase{"Approximately 0.25 second", 1, 281},
                                           LatencyCase{"Approximately 0.5 second", 2, 537},
                                           LatencyCase{"Approximately 0.75 second", 3, 793},
                                           LatencyCase{"Approximately 1.25 seconds", 5, 1305},
                                           LatencyCase{"Approximately 2.5 seconds", 10, 2585},
                                           LatencyCase{"Approximately 5 seconds", 20, 5145},
                                           LatencyCase{"Approximately 7.5 seconds", 30, 7705},
                                           LatencyCase{"Approximately 10 seconds", 40, 10265},
                                           LatencyCase{"Approximately 12.5 seconds", 50, 12825},
                                           LatencyCase{"Approximately 15 seconds", 60, 15385},
                                           LatencyCase{"Approximately 17.5 seconds", 70, 17945},
                                           LatencyCase{"Approximately 20 seconds", 80, 20505},
                                           LatencyCase{"Approximately 1 second", 0, 25},
                                           LatencyCase{"approximately 20 seconds", 0, 25},
                                           LatencyCase{"", 0, 25}));

TEST_F(PortObject, TimeoutRegimesCarryTheWriteTimeouts) {
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
}

TEST_F(PortObject, NegativeWriteTimeoutsCountAsNone) {
  port->ActiveWriteMultiplier = -1;
  port->ActiveWriteConstant = -2147483647 - 1;
  SetUpWith({});

  EXPECT_EQ(LastTimeouts(), (TimeoutValues{50, 0, 25, 0, 0}));
  EXPECT_TRUE(port->SetNullTimeouts());
  EXPECT_EQ(LastTimeouts(), (TimeoutValues{50, 0, 25, 0, 0}));
}

TEST_F(PortObject, TimeoutOperationsReportThePortsAnswer) {
  SetUpWith({});
  line->SetTimeoutsFails = true;

  EXPECT_FALSE(port->SetDefaultTimeouts());
  EXPECT_FALSE(port->SetNullTimeouts());
  EXPECT_EQ(line->CallsOf(Kind::SetTimeouts).size(), 3u);
}

TEST_F(PortObject, TimeoutOperationsNeedAConfiguredPort) {
  EXPECT_FALSE(port->SetDefaultTimeouts());
  EXPECT_FALSE(port->SetNullTimeouts());
  EXPECT_TRUE(line->Calls.empty());

  SetUpWith({});
  port->SetIsPortConfigured(false);
  line->Calls.clear();
  EXPECT_FALSE(port->SetDefaultTimeouts());
  EXPECT_FALSE(port->SetNullTimeouts());
  EXPECT_TRUE(line->Calls.empty());
}

TEST_F(PortObject, SecondSetUpClosesBeforeItOpensAgain) {
  SetUpWith({});
  line->Calls.clear();

  PortTexts texts;
  texts.portNumber = "COM4";
  SetUpWith(texts);

  ASSERT_GE(line->Calls.size(), 2u);
  EXPECT_EQ(line->Calls[0].kind, Kind::Close);
  EXPECT_EQ(line->Calls[1].kind, Kind::Open);
  EXPECT_EQ(line->Calls[1].name, "COM4");
  EXPECT_TRUE(port->IsPortConfigured);
  EXPECT_EQ(port->PortHandle, 1);
}

TEST_F(PortObject, SetUpAfterAFailedOpenClosesNothing) {
  line->OpenFails = true;
  SetUpWith({});
  ASSERT_EQ(port->PortHandle, -1);
  line->OpenFails = false;
  line->Calls.clear();

  SetUpWith({});

  ASSERT_FALSE(line->Calls.empty());
  EXPECT_EQ(line->Calls.front().kind, Kind::Open);
  EXPECT_EQ(port->PortHandle, 1);
  EXPECT_TRUE(port->IsPortConfigured);
}

TEST_F(PortObject, SetUpAfterAFailureHalfWayClosesTheOpenDevice) {
  line->SetStateFails = true;
  SetUpWith({});
  line->SetStateFails = false;
  line->Calls.clear();

  SetUpWith({});

  ASSERT_FALSE(line->Calls.empty());
  EXPECT_EQ(line->Calls.front().kind, Kind::Close);
  EXPECT_TRUE(line->Calls.front().succeeded);
  EXPECT_TRUE(port->IsPortConfigured);
}

TEST_F(PortObject, SetPropertiesOnlyStoresTheTexts) {
  SetUpWith({});
  line->Calls.clear();

  port->SetProperties("COM9", "a", "b", "c", "d", "e", "f");

  EXPECT_EQ(
      std::vector<std::string>({port->PortNumber, port->TransferRate, port->StopBits, port->Paritet,
                                port->LatencyPeriod, port->DTRControl, port->RTSControl}),
      std::vector<std::string>({"COM9", "a", "b", "c", "d", "e", "f"}));
  EXPECT_TRUE(line->Calls.empty());
  EXPECT_TRUE(port->IsPortConfigured);
  EXPECT_EQ(port->PortHandle, 1);
  EXPECT_EQ(line->OpenName, "COM2");
}

TEST(PortObjectDestruction, ClosesOnlyAnOpenDevice) {
  struct Case {
    std::string name;
    void (*arrange)(FakeLine&);
    bool setUp;
    bool closes;
  };
  const Case cases[] = {
      {"NeverSetUp", [](FakeLine&) {}, false, false},
      {"Configured", [](FakeLine&) {}, true, true},
      {"OpenFailed", [](FakeLine& l) { l.OpenFails = true; }, true, false},
      {"FailedAfterOpening", [](FakeLine& l) { l.SetEventMaskFails = true; }, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePortOnLine fake = MakeFakePort();
    std::shared_ptr<FakeLine> line = fake.line;
    c.arrange(*line);
    auto port = std::make_unique<TComProperties>(std::move(fake.port));
    port->SetProperties("COM1", "9600 baud", "1 bit", "None", "", "", "");
    if (c.setUp) port->SetupCOMPort();
    const size_t callsBefore = line->Calls.size();

    port.reset();

    const auto closes = line->CallsOf(Kind::Close);
    EXPECT_EQ(closes.size(), c.closes ? 1u : 0u);
    EXPECT_EQ(line->Calls.size(), callsBefore + (c.closes ? 1 : 0));
    if (c.closes) {
      EXPECT_EQ(line->Calls.back().kind, Kind::Close);
    }
  }
}

TEST_F(PortObject, LineOperationsActOnWhateverIsOpen) {
  line->SetTimeoutsFails = true;  // open, but not configured
  SetUpWith({});
  ASSERT_FALSE(port->IsPortConfigured);
  line->Calls.clear();

  EXPECT_TRUE(port->setDTR());
  EXPECT_TRUE(port->moveDTR());
  EXPECT_TRUE(port->setRTS());
  EXPECT_TRUE(port->moveRTS());

  EXPECT_EQ(EscapeFunctions(),
            (std::vector<Line>{Line::SetDTR, Line::ClearDTR, Line::SetRTS, Line::ClearRTS}));
}

TEST_F(PortObject, LineOperationsReportTheDevicesAnswer) {
  SetUpWith({});
  line->FailingFunctions = {Line::SetRTS, Line::ClearDTR};

  EXPECT_TRUE(port->setDTR());
  EXPECT_FALSE(port->moveDTR());
  EXPECT_FALSE(port->setRTS());
  EXPECT_TRUE(port->moveRTS());
  EXPECT_TRUE(line->Dtr);
  EXPECT_FALSE(line->Rts);
}

TEST_F(PortObject, LineOperationsFailOnAClosedPort) {
  EXPECT_FALSE(port->setDTR());
  EXPECT_FALSE(port->moveDTR());
  EXPECT_FALSE(port->setRTS());
  EXPECT_FALSE(port->moveRTS());

  line->OpenFails = true;
  SetUpWith({});
  EXPECT_FALSE(port->setDTR());
  EXPECT_FALSE(port->moveRTS());
}

TEST_F(PortObject, ReadAndWriteGiveNothingWithoutADevice) {
  line->QueueRead({1, 2, 3});
  uint8_t buffer[256] = {};
  const uint8_t frame[] = {5, 2, 1, 0, 0, 8, 0};

  EXPECT_EQ(port->Read(buffer, 256), 0);
  EXPECT_EQ(port->Write(frame, 7), 0);

  line->OpenFails = true;
  SetUpWith({});
  EXPECT_EQ(port->Read(buffer, 256), 0);
  EXPECT_EQ(port->Write(frame, 7), 0);
  EXPECT_TRUE(line->CallsOf(Kind::Read).empty());
  EXPECT_TRUE(line->CallsOf(Kind::Write).empty());
  EXPECT_EQ(line->ReadChunks.size(), 1u);
}

TEST_F(PortObject, ReadAndWriteGoThroughTheOpenDevice) {
  SetUpWith({});
  line->QueueRead({1, 2, 3});
  uint8_t buffer[256] = {};
  const uint8_t frame[] = {5, 2, 1, 0, 0, 8, 0};

  EXPECT_EQ(port->Read(buffer, 256), 3);
  EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 3), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(port->Write(frame, 7), 7);
  EXPECT_EQ(line->CallsOf(Kind::Write).back().bytes, std::vector<uint8_t>(frame, frame + 7));
}

TEST_F(PortObject, WriteNeverReportsANegativeCount) {
  SetUpWith({});
  line->WriteResult = -5;
  const uint8_t frame[] = {1, 2};

  EXPECT_EQ(port->Write(frame, 2), 0);
}

// --- Init: the configuration file, then the set-up, silently ---

TEST(PortObjectInit, LoadsTheFileAndSetsThePortUp) {
  ScratchDirectory dir;
  dir.Write("ZELdrv.ini",
            FileOf({"PortNumber=COM3", "TransferRate=19200 baud", "StopBits=2 bit", "Paritet=Odd",
                    "LatencyPeriod=Approximately 0.5 second", "DTRControl=Enable",
                    "RTSControl=Disable", "WriteTimeOutMultiplier=4", "WriteTimeOutConstant=700"}));
  RecordingNotice notice;
  PortSettingsCarrier carrier(dir.Path(), notice);
  FakePortOnLine fake = MakeFakePort();
  TComProperties port(std::move(fake.port));
  port.SetupDialog = &carrier;

  port.Init();

  EXPECT_EQ(port.PortNumber, "COM3");
  EXPECT_EQ(port.LatencyPeriod, "Approximately 0.5 second");
  EXPECT_EQ(port.ActiveWriteMultiplier, 4);
  EXPECT_EQ(port.ActiveWriteConstant, 700);
  EXPECT_TRUE(port.IsPortConfigured);
  FakeLine& line = *fake.line;
  EXPECT_EQ(line.OpenName, "COM3");
  EXPECT_EQ(line.State.BaudRate, 19200u);
  EXPECT_EQ(line.State.ParityMode, Parity::Odd);
  EXPECT_EQ(line.State.StopBitCount, StopBits::Two);
  EXPECT_EQ(Tied(line.Timeouts), (TimeoutValues{50, 2, 25, 4, 700}));
  EXPECT_TRUE(line.Dtr);
  EXPECT_FALSE(line.Rts);
  EXPECT_TRUE(notice.Texts.empty());
}

TEST(PortObjectInit, MissingFileSetsUpCom1At75Baud) {
  ScratchDirectory dir;
  RecordingNotice notice;
  PortSettingsCarrier carrier(dir.Path(), notice);
  FakePortOnLine fake = MakeFakePort();
  TComProperties port(std::move(fake.port));
  port.SetupDialog = &carrier;

  port.Init();

  ASSERT_FALSE(fake.line->Calls.empty());
  EXPECT_EQ(fake.line->Calls.front().name, "COM1");
  EXPECT_EQ(fake.line->State.BaudRate, 75u);
  EXPECT_TRUE(fake.line->CallsOf(Kind::EscapeFunction).empty());
  EXPECT_TRUE(port.IsPortConfigured);
  EXPECT_FALSE(dir.Exists("ZELdrv.ini"));  // a missing file stays missing
}

TEST(PortObjectInit, PortThatCannotBeOpenedPassesSilently) {
  ScratchDirectory dir;
  RecordingNotice notice;
  PortSettingsCarrier carrier(dir.Path(), notice);
  FakePortOnLine fake = MakeFakePort();
  fake.line->OpenFails = true;
  TComProperties port(std::move(fake.port));
  port.SetupDialog = &carrier;

  port.Init();

  EXPECT_FALSE(port.IsPortConfigured);
  EXPECT_LT(port.PortHandle, 0);
  EXPECT_TRUE(notice.Texts.empty());
}

}  // namespace
}  // namespace zel::testing
