// Golden transcripts of the driver's front: every .txt file in tests/data/front and
// tests/data/frames holds scenarios, each a fresh driver on a fresh fake line, driven and checked
// step by step. tests/data/front/README.md describes the format.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "ddelink/LinkWire.h"
#include "driver/frames/FrameBuilder.h"
#include "driver/front/DriverFront.h"
#include "tests/support/DataText.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/FakeSerialPort.h"

namespace zel::test {
namespace {

using Texts = std::vector<std::string>;

struct Scenario {
  std::string name, file;
  std::vector<std::pair<int, std::string>> steps;  // line number, text
};
void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.file; }

std::vector<Scenario> Scenarios() {
  std::set<std::filesystem::path> files;
  for (const char* folder : {ZEL_TEST_DATA "/front", ZEL_TEST_DATA "/frames"})
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      if (entry.path().extension() == ".txt") files.insert(entry.path());
  std::vector<Scenario> scenarios;
  for (const auto& file : files) {
    std::ifstream in(file);
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
      if (text.rfind("== ", 0) == 0) {  // "== Some title" opens the scenario <file>_SomeTitle
        scenarios.push_back({file.stem().string() + "_", file.string(), {}});
        for (size_t at = 3; at < text.size(); ++at)
          if (std::isalnum(static_cast<unsigned char>(text[at])))
            scenarios.back().name += text[at - 1] == ' ' ? char(std::toupper(text[at])) : text[at];
      } else if (!text.empty() && text[0] != '#') {
        scenarios.back().steps.emplace_back(number, text);
      }
    }
  }
  return scenarios;
}

std::string Joined(const Texts& texts, const std::string& separator = " ") {
  std::string joined;
  for (size_t i = 0; i < texts.size(); ++i) joined += (i ? separator : "") + texts[i];
  return joined;
}

std::string Listed(const Texts& texts) {  // "a" "b"
  return texts.empty() ? "" : "\"" + Joined(texts, "\" \"") + "\"";
}

// "05 02 FF*3 | 0B" as it is compared: repeats written out, one space between bytes.
std::string Hex(const std::string& value) {
  Texts reads;
  for (const std::string& read : Split(value, "|")) {
    const std::vector<uint8_t> bytes = ParseBytes(read);
    reads.push_back(HexOf(bytes.data(), bytes.size()));
  }
  return Joined(reads, " | ");
}

// The test stands in for the status indicator, the window, the user's notices and the clock.
class Transcript : public ::testing::TestWithParam<Scenario>,
                   public StatusSink,
                   public DriverWindow,
                   public Notice,
                   public Clock {
 protected:
  // Time stands still unless a sleep moves it, or every look at it moves it a step.
  int64_t NowMs() override { return (now += stepPerLook) - stepPerLook; }
  void SleepMs(int64_t ms) override {
    slept.push_back(std::to_string(ms));
    now += ms;
  }
  void SetStatusText(const std::string& text) override { statuses.push_back(text); }
  void Minimize() override { window.push_back("Minimize"); }
  void NormalSize() override { window.push_back("NormalSize"); }
  void Hide() override { window.push_back("Hide"); }
  void Show() override { window.push_back("Show"); }
  void Close() override { window.push_back("Close"); }
  void ShowNotice(const std::string&) override {}

  // The front over its fake port, wired as the program wires them: the one place that does.
  DriverFront& Front() {
    if (front.ComProperties() || closed) return front;
    const std::string folder = ::testing::TempDir() + "zel-transcript-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(WriteDriverConfiguration(folder, "COM1", latency));
    auto port = std::make_unique<TComProperties>(std::make_unique<FakeSerialPort>(line),
                                                 folder + "/ZELdrv.ini", *this);
    port->ReportFailure = [this](const std::string& why) { reported.push_back(why); };
    front.FormCreate(std::move(port));
    std::filesystem::remove_all(folder);
    line->Calls.clear();
    return front;
  }

  void Act(const std::string& action, const std::string& value) {
    using F = ModemLineFunction;
    const std::string actions =
        " reply echo latency open write escape clock poke exec close request buffer build device "
        "early ";
    EXPECT_NE(actions.find(" " + action + " "), actions.npos) << "no such action";
    for (const auto& bytes : Split(action == "reply" ? value : "", "|"))
      if (!bytes.empty()) line->ReadChunks.push_back(ParseBytes(bytes));
    if (action == "echo")
      line->Echo = value == "on"    ? sim::EchoMode::On
                   : value == "off" ? sim::EchoMode::Off
                                    : sim::EchoMode::Corrupt;
    if (action == "latency") latency = value;
    if (action == "open") line->OpenFails = true;
    if (action == "write") line->WriteResult = 0;
    if (action == "device") line->Vanished = value == "gone";
    if (action == "early") line->AfterEcho = ParseBytes(value);
    if (action == "escape")
      line->FailingFunctions = {F::SetDTR, F::ClearDTR, F::SetRTS, F::ClearRTS};
    if (action == "clock") stepPerLook = std::stoi(value.substr(value.find(' ')));
    if (action == "poke")
      refusal = RefusalReason(Front().ZELdriver.Poke(DriverItem, TextFormat, Text(value)));
    if (action == "exec") Front().ZELdriver.Execute(Text(value));
    if (action == "close") {
      Front().FormClose();
      closed = true;
    }
    // The frames core alone, on a buffer of its own.
    const std::vector<uint8_t> bytes = ParseBytes(action == "buffer" ? value : "");
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    const auto build = value.rfind("send", 0) == 0 ? BuildSendFrame : BuildDumpFrame;
    if (action == "build") build(Text(value.substr(5)), buffer, length);
  }

  // What the step did, in the words of the expectation `key`.
  std::string Seen(const std::string& key) {
    static const char* const kinds[] = {"open",     "close",  "getstate", "setstate",
                                        "timeouts", "escape", "read",     "write"};
    Texts ops, wire;
    for (const FakePortCall& call : line->Calls) {
      const CommTimeouts& t = call.timeouts;  // named by the time a whole 256-byte read may take
      const uint32_t wholeRead = t.ReadTotalTimeoutConstant + 256 * t.ReadTotalTimeoutMultiplier;
      ops.push_back(kinds[int(call.kind)]);
      if (call.kind == FakeCallKind::SetTimeouts) ops.back() += ":" + std::to_string(wholeRead);
      if (!call.bytes.empty()) wire.push_back(HexOf(call.bytes.data(), call.bytes.size()));
    }
    std::string answer;
    if (key == "item") return front.ZELDDEItem.Text();
    if (key == "answer") return front.ZELdriver.Request(DriverItem, TextFormat, answer), answer;
    if (key == "status") return Listed(statuses);
    if (key == "notices") return Listed(notices);
    if (key == "refused") return refusal;
    if (key == "window") return Joined(window);
    if (key == "slept") return Joined(slept);
    if (key == "ops") return Joined(ops);
    if (key == "wire") return Joined(wire, " | ");
    if (key == "dtr" || key == "rts") return (key == "dtr" ? line->Dtr : line->Rts) ? "on" : "off";
    if (key == "reported") return Listed(reported);
    if (key == "port") return front.ComProperties() || line->IsOpen ? "open" : "closed";
    if (key == "buffer") return HexOf(buffer.data(), buffer.size());
    return "no such expectation";
  }

  Texts statuses, window, notices, reported;
  int64_t now = 0, stepPerLook = 0;
  Texts slept;
  DriverFront front{*this, *this, *this};
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  std::string latency = "Immediately answer", refusal;
  bool closed = false;
  FrameBuffer buffer{};
  int32_t length = 0;
};

TEST_P(Transcript, Runs) {
  front.ZELDDEItem.SetChangeListener([this] { notices.push_back(front.ZELDDEItem.Text()); });
  for (const auto& [number, text] : GetParam().steps) {
    ::testing::ScopedTrace trace(GetParam().file.c_str(), number, text);
    statuses = window = notices = reported = Texts();
    slept.clear();
    line->Calls.clear();
    refusal.clear();
    const Texts parts = Split(text + " -> ", "->");
    const size_t blank = std::min(parts[0].find(' '), parts[0].size());
    Act(parts[0].substr(0, blank), Trim(parts[0].substr(blank)));
    bool refusalExpected = false;
    for (const std::string& expectation : Split(parts[1], ";")) {
      const size_t cut = std::min(expectation.find(' '), expectation.size());
      const std::string key = expectation.substr(0, cut), value = Trim(expectation.substr(cut));
      const bool isText = key == "item" || key == "answer" || key == "refused";
      refusalExpected |= key == "refused";
      if (key.empty()) continue;
      const bool isHex = key == "wire" || key == "buffer";
      EXPECT_EQ(Seen(key), isText ? Text(value) : isHex ? Hex(value) : value) << key;
    }
    EXPECT_TRUE(refusalExpected || refusal.empty()) << "the poke was refused: " << refusal;
  }
}

INSTANTIATE_TEST_SUITE_P(Data, Transcript, ::testing::ValuesIn(Scenarios()),
                         [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace zel::test
