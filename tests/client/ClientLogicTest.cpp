// The client window's logic and its conversation, over a recording view, link and driver starter,
// against the transcript tests/data/client/logic.txt.
#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <numeric>

#include "client/ClientLogic.h"
#include "tests/support/DataText.h"

namespace zel::test {
namespace {

using Note = std::function<void(const std::string&)>;

constexpr const char* ButtonNames[ClientButtonCount] = {
    "Poke",        "Send",    "SendDump", "ESend",   "ESendDump", "Clear",   "Receive",
    "ReceiveDump", "Min",     "Rest",     "Hide",    "Show",      "Version", "State",
    "SetDTR",      "MoveDTR", "SetRTS",   "MoveRTS", "Exit"};

struct FakeLink : LinkClient {
  explicit FakeLink(Note noter) : note(std::move(noter)) {}
  bool Connect(const std::string& service, const std::string&) override {
    connected = serving && --refusals < 0;
    note(connected ? "connect ok" : "connect refused");
    error = "no service " + service;
    return connected;
  }
  void Disconnect() override { connected = false; }
  bool IsConnected() const override { return connected; }
  bool Execute(const std::string& text) override {
    note("execute " + text);
    return connected;
  }
  bool Poke(const std::string& item, const std::string& text, int) override {
    note("poke " + item + ' ' + Quoted(text));
    return connected;
  }
  std::optional<std::string> Request(const std::string& item, int) override {
    std::optional<std::string> answer;
    if (!answers.empty()) answer = answers.front(), answers.pop_front();
    note("request " + item + " -> " + (answer ? Quoted(*answer) : "none"));
    return answer;
  }
  bool StartAdvise(const std::string& item, int) override {
    note("advise " + item);
    return connected;
  }
  bool WaitForNotice(int) override { return false; }
  const std::string& LastError() const override { return error; }

  Note note;
  bool serving = false, connected = false;
  int refusals = 0;  // connects refused after the driver's start
  std::deque<std::optional<std::string>> answers;
  std::string error;
};

struct FakeStarter : DriverStarter {
  FakeStarter(FakeLink& driver, Note noter) : link(driver), note(std::move(noter)) {}
  std::string Start(const std::string& path, const std::string& argument) override {
    note("start " + path + ' ' + argument);
    link.serving = failure.empty();
    return failure;
  }
  std::string FindDriver() const override { return program; }
  bool StartsMinimized() const override { return minimised; }

  FakeLink& link;
  Note note;
  std::string program = "/opt/zel/ZELdrv", failure;
  bool minimised = false;
};

struct FakeView : ClientView {
  explicit FakeView(Note noter) : note(std::move(noter)) { enabled.fill(true); }
  std::string FieldText(AddressField field) const override {
    return fields[static_cast<int>(field)];
  }
  std::vector<std::string> MemoDisplayedLines() const override { return Split(memo, "\n"); }
  void SetButtonEnabled(ClientButton button, bool on) override {
    enabled[static_cast<int>(button)] = on;
  }
  std::string ResultText() const override { return result; }
  void SetResultText(const std::string& text) override { result = text; }
  void ShowEntryError(const std::string& caption, const std::string& text) override {
    note("error box " + Quoted(caption) + ' ' + Quoted(text));
  }
  void ShowAnswer(const std::string& text) override { note("bar " + Quoted(text)); }
  void EndProgram() override { note("end"); }

  Note note;
  std::array<std::string, 4> fields = {"1", "1", "0", "0"};
  std::string memo, result;
  std::array<bool, ClientButtonCount> enabled{};
};

// One window over its driver, as a "> create" step makes it.
struct World {
  World(const std::string& how, const Note& note)
      : link(new FakeLink(note)),
        starter(new FakeStarter(*link, note)),
        view(note),
        client(std::unique_ptr<LinkClient>(link), std::unique_ptr<DriverStarter>(starter)),
        logic(view, client) {
    link->serving = how == "running";
    link->refusals = how == "silent" ? 1000000 : how == "running" ? 0 : 1;
    starter->minimised = how == "minimised";
    if (how == "missing" || how == "installed-later") starter->program.clear();
    if (how == "broken") starter->failure = "cannot start /opt/zel/ZELdrv: Exec format error";
    client.SetWaits(300, 200);
    logic.FormCreate();
    if (how == "installed-later") starter->program = "/opt/zel/ZELdrv";
  }
  FakeLink* link;
  FakeStarter* starter;
  FakeView view;
  ClientLink client;
  ClientLogic logic;
};

TEST(ClientLogic, FollowsTheTranscriptOverARecordingViewLinkAndStarter) {
  std::ifstream transcript(ZEL_TEST_DATA "/client/logic.txt");
  ASSERT_TRUE(transcript.is_open());
  std::unique_ptr<World> world;
  std::string seen, expected, last, off, shown;
  const auto add = [&](const std::string& line) {
    if (line != last) seen += (last = line) + '\n';
  };
  // What the link or view did, then what changed in the window since.
  const Note note = [&](const std::string& line) {
    if (!line.empty()) add(line);
    if (!world) return;
    std::string nowOff = "off:";
    for (int button = 0; button < ClientButtonCount; ++button)
      if (!world->view.enabled[button]) nowOff += std::string(" ") + ButtonNames[button];
    if (nowOff != off) add(off = nowOff);
    const std::string nowShown = "RetMemo " + Quoted(world->view.result);
    if (nowShown != shown) add(shown = nowShown);
  };

  for (std::string line; std::getline(transcript, line);) {
    if (line.empty() || line[0] == '#') continue;
    expected += line + '\n';
    if (line[0] != '>') continue;
    add(line);
    const std::vector<std::string> words = Words(line);
    const std::string step = words.at(1);
    if (step == "create") {
      world.reset();
      off = "off:", shown = "RetMemo \"\"";
      world = std::make_unique<World>(words.at(2), note);
    } else if (step == "answer") {
      for (auto word = words.begin() + 2; word != words.end(); ++word)
        world->link->answers.push_back(*word == "none" ? std::nullopt : std::optional(*word));
    } else if (step == "type") {
      const std::string text = std::accumulate(words.begin() + 3, words.end(), std::string());
      const std::map<std::string, int> fields = {
          {"HiTo", 0}, {"LoTo", 1}, {"HiFrom", 2}, {"LoFrom", 3}};
      (words.at(2) == "Memo" ? world->view.memo : world->view.fields[fields.at(words.at(2))]) =
          text;
      world->logic.AnyDataChange();
    } else if (step == "click") {
      const auto name = std::find(std::begin(ButtonNames), std::end(ButtonNames), words.at(2));
      ASSERT_NE(name, std::end(ButtonNames)) << line;
      world->logic.Click(static_cast<ClientButton>(name - std::begin(ButtonNames)));
    } else if (step == "close") {
      world->logic.FormClose();
    } else if (step == "lose") {
      world->link->connected = world->link->serving = false;
    }
    note("");
  }
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace zel::test
