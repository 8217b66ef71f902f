// Golden transcripts of the driver's front: every .txt file in tests/data/front and
// tests/data/frames holds scenarios, each a fresh driver on a fresh fake line, driven and checked
// step by step. tests/data/front/README.md describes the format.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "ddelink/LinkWire.h"
#include "driver/front/DriverFront.h"
#include "tests/support/ByteText.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/FrontFakes.h"

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

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(' '), last = text.find_last_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, last + 1 - first);
}

// The pieces between the separators that stand outside double quotes, trimmed.
Texts Split(const std::string& line, const std::string& separator) {
  Texts pieces(1);
  for (size_t at = 0, quotes = 0; at < line.size(); ++at) {
    const bool cut = quotes % 2 == 0 && line.compare(at, separator.size(), separator) == 0;
    quotes += line[at] == '"' && (at == 0 || line[at - 1] != '\\');
    cut ? (at += separator.size() - 1, pieces.emplace_back()) : pieces.back() += line[at];
  }
  for (auto& piece : pieces) piece = Trim(piece);
  return pieces;
}

// "quoted" pieces with the escapes \r \n \t \0 \xHH, each repeated N times when *N follows,
// joined; a value without quotes is its bare text.
std::string Text(const std::string& value) {
  if (value.empty() || value[0] != '"') return value;
  static const std::map<char, char> escapes = {{'r', '\r'}, {'n', '\n'}, {'t', '\t'}, {'0', '\0'}};
  std::string joined;
  for (size_t at = value.find('"'); at != std::string::npos; at = value.find('"', at)) {
    std::string text;
    for (++at; value.at(at) != '"'; ++at) {
      const bool hex = value[at] == '\\' && value.at(++at) == 'x';
      text += hex ? char(std::stoi(value.substr(at + 1, 2), nullptr, 16))
              : value[at - 1] == '\\' && escapes.count(value[at]) ? escapes.at(value[at])
                                                                  : value[at];
      at += hex ? 2 : 0;
    }
    joined +=
        Repeat(text, ++at < value.size() && value[at] == '*' ? std::stoi(value.substr(at + 1)) : 1);
  }
  return joined;
}

// "05 02 FF*3 | 0B" as it is compared: FF*3 written out, one space between bytes.
std::string Hex(const std::string& value) {
  std::string hex;
  std::istringstream in(value);
  for (std::string token; in >> token;) {
    const size_t star = token.find('*');
    hex += Repeat(token.substr(0, star) + " ",
                  star == std::string::npos ? 1 : std::stoi(token.substr(star + 1)));
  }
  return Trim(hex);
}

std::string Joined(const Texts& texts, size_t from = 0, const std::string& separator = " ") {
  std::string joined;
  for (size_t i = from; i < texts.size(); ++i) joined += (i > from ? separator : "") + texts[i];
  return joined;
}

class Transcript : public ::testing::TestWithParam<Scenario> {
 protected:
  // The front over its fake port, wired as the program wires them: the one place that does.
  DriverFront& Front() {
    if (front.ComProperties() || closed) return front;
    const std::string folder = ::testing::TempDir() + "zel-transcript-" + std::to_string(getpid());
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(WriteDriverConfiguration(folder, "COM1", latency));
    front.FormCreate(std::make_unique<TComProperties>(std::make_unique<FakeSerialPort>(line),
                                                      folder + "/ZELdrv.ini", notice));
    std::filesystem::remove_all(folder);
    line->Calls.clear();
    return front;
  }

  void Act(const std::string& action, const std::string& value) {
    using F = ModemLineFunction;
    const std::map<std::string, std::function<void()>> actions = {
        {"echo",
         [&] {
           line->Echo = value == "on"    ? sim::EchoMode::On
                        : value == "off" ? sim::EchoMode::Off
                                         : sim::EchoMode::Corrupt;
         }},
        {"reply",
         [&] {
           for (const auto& bytes : Split(value, "|"))
             line->ReadChunks.push_back(ParseBytes(Hex(bytes)));
         }},
        {"latency", [&] { latency = value; }},
        {"open", [&] { line->OpenFails = true; }},
        {"write", [&] { line->WriteResult = 0; }},
        {"escape",
         [&] {
           line->FailingFunctions = {F::SetDTR, F::ClearDTR, F::SetRTS, F::ClearRTS};
         }},
        {"clock", [&] { clock.stepPerLook = std::stoi(value.substr(value.find(' '))); }},
        {"poke",
         [&] {
           refusal = RefusalReason(Front().ZELdriver.Poke(DriverItem, TextFormat, Text(value)));
         }},
        {"exec", [&] { Front().ZELdriver.Execute(Text(value)); }},
        {"close", [&] { Front().FormClose(), closed = true; }},
        {"request", [] {}}};
    actions.at(action)();
  }

  // What the step did, in the words of the expectation `key`.
  std::string Seen(const std::string& key, const std::string& value) {
    static const char* const kinds[] = {"open",     "close",  "getstate", "setstate",
                                        "timeouts", "escape", "read",     "write"};
    Texts ops, sleeps, noticed(notices.begin() + mark.notices, notices.end());
    std::string wire;
    for (auto call = line->Calls.begin() + mark.calls; call != line->Calls.end(); ++call) {
      const CommTimeouts& t = call->timeouts;  // named by the time a whole 256-byte read may take
      ops.push_back(kinds[int(call->kind)]);
      if (call->kind == FakeCallKind::SetTimeouts)
        ops.back() +=
            ":" + std::to_string(t.ReadTotalTimeoutConstant + 256 * t.ReadTotalTimeoutMultiplier);
      if (!call->bytes.empty() && !wire.empty()) wire += "| ";
      for (uint8_t byte : call->bytes)
        wire += {"0123456789ABCDEF"[byte >> 4], "0123456789ABCDEF"[byte & 15], ' '};
    }
    for (size_t i = mark.sleeps; i < clock.slept.size(); ++i)
      sleeps.push_back(std::to_string(clock.slept[i]));
    std::string answer;
    if (key == "item") return front.ZELDDEItem.Text();
    if (key == "answer") return front.ZELdriver.Request(DriverItem, TextFormat, answer), answer;
    if (key == "status" && value == "untouched")
      return status.texts.size() == mark.statuses ? value : "set";
    if (key == "status") return status.Last();
    if (key == "notices") return noticed.empty() ? "" : "\"" + Joined(noticed, 0, "\" \"") + "\"";
    if (key == "refused") return refusal;
    if (key == "window") return Joined(window.calls, mark.windows);
    if (key == "slept") return Joined(sleeps);
    if (key == "ops") return Joined(ops);
    if (key == "wire") return Trim(wire);
    if (key == "dtr" || key == "rts") return (key == "dtr" ? line->Dtr : line->Rts) ? "on" : "off";
    if (key == "port") return front.ComProperties() || line->IsOpen ? "open" : "closed";
    return "no such expectation";
  }

  RecordingStatus status;
  RecordingWindow window;
  FakeClock clock;
  struct : Notice {
    void ShowNotice(const std::string&) override {}
  } notice;
  DriverFront front{status, window, clock};
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  std::string latency = "Immediately answer", refusal;
  Texts notices;
  bool closed = false;
  struct {
    size_t statuses, windows, sleeps, calls, notices;
  } mark{};
};

TEST_P(Transcript, Runs) {
  front.ZELDDEItem.SetChangeListener([this] { notices.push_back(front.ZELDDEItem.Text()); });
  for (const auto& [number, text] : GetParam().steps) {
    ::testing::ScopedTrace trace(GetParam().file.c_str(), number, text);
    mark = {status.texts.size(), window.calls.size(), clock.slept.size(), line->Calls.size(),
            notices.size()};
    const Texts parts = Split(text, "->");
    const size_t blank = std::min(parts[0].find(' '), parts[0].size());
    refusal.clear();
    Act(parts[0].substr(0, blank), Trim(parts[0].substr(blank)));
    bool refusalExpected = false;
    for (const std::string& expectation : Split(parts.size() > 1 ? parts[1] : "", ";")) {
      const size_t cut = std::min(expectation.find(' '), expectation.size());
      const std::string key = expectation.substr(0, cut), value = Trim(expectation.substr(cut));
      refusalExpected |= key == "refused";
      const bool text = key == "item" || key == "answer" || key == "refused" ||
                        (key == "status" && value != "untouched");
      if (key.empty()) continue;
      EXPECT_EQ(Seen(key, value), text ? Text(value) : key == "wire" ? Hex(value) : value) << key;
    }
    EXPECT_TRUE(refusalExpected || refusal.empty()) << "the poke was refused: " << refusal;
  }
}

INSTANTIATE_TEST_SUITE_P(Data, Transcript, ::testing::ValuesIn(Scenarios()),
                         [](const auto& row) { return row.param.name; });

}  // namespace
}  // namespace zel::test
