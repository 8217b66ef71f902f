// The test client's window, offscreen, against the real driver on zelsim's simulated line. Message
// bar answers and error boxes are recorded, never shown.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <regex>
#include <thread>

#include "client/qt/ClientForm.h"
#include "common/Names.h"
#include "ddelink/local/LocalLinkClient.h"
#include "tests/support/DataText.h"
#include "tests/support/DriverProcess.h"
#include "tests/zelsim/SimProcess.h"

namespace zel::test {
namespace {

// The real socket link, noting what the client says on it.
struct RecordingLink : LocalLinkClient {
  explicit RecordingLink(std::function<void(const std::string&)> noter) : note(std::move(noter)) {}
  // However the test ends, the driver it started ends too.
  ~RecordingLink() override { LocalLinkClient::Execute(CloseCommand); }
  bool Execute(const std::string& text) override {
    note("execute " + text);
    return LocalLinkClient::Execute(text);
  }
  bool Poke(const std::string& item, const std::string& text, int timeoutMs) override {
    note("poke " + item + ' ' + Quoted(text));
    return LocalLinkClient::Poke(item, text, timeoutMs);
  }
  std::function<void(const std::string&)> note;
};

// The window, noting its error boxes and message bar answers instead of showing them.
struct RecordingForm : TForm1 {
  RecordingForm(std::unique_ptr<ClientLink> link, std::function<void(const std::string&)> noter)
      : TForm1(std::move(link)), note(std::move(noter)) {}
  void ShowEntryError(const std::string& caption, const std::string& text) override {
    note("error box " + Quoted(caption) + ' ' + Quoted(text));
  }
  void ShowAnswer(const std::string& text) override { note("bar " + Quoted(text)); }
  std::function<void(const std::string&)> note;
};

// tests/data/client/session.txt: lines "> click NAME" and "> type NAME TEXT..." are done in turn;
// every other line is what the client must be seen doing meanwhile.
TEST(ClientSession, StartsTheDriverWorksEveryButtonAndClosesTheDriverOnExit) {
  zel::sim::test::SimProcess sim({"--station", "0205", "--echo", "off"});
  PrivateLinkDirectory links;
  DriverInstallation installation(sim.DevicePath(), "Approximately 1.25 seconds");
  std::unique_ptr<RecordingForm> form;
  std::string seen, off, shown;
  const auto note = [&](const std::string& line) {
    seen += line.empty() ? "" : line + '\n';
    if (!form) return;
    // Then what changed in the window: the disabled buttons, RetMemo.
    std::string nowOff = "off:";
    for (QPushButton* button : form->findChildren<QPushButton*>())
      if (!button->isEnabled()) nowOff += ' ' + button->objectName().toStdString();
    const std::string retMemo = Quoted(form->RetMemo->toPlainText().toStdString());
    for (auto [last, now] : {std::pair(&off, nowOff), std::pair(&shown, "RetMemo " + retMemo)})
      if (*last != now) seen += (*last = now) + '\n';
  };
  auto client = std::make_unique<ClientLink>(std::make_unique<RecordingLink>(note),
                                             MakePlatformDriverStarter());
  client->SetDriverProgram(installation.Program());
  form = std::make_unique<RecordingForm>(std::move(client), note);
  note("");

  std::ifstream session(ZEL_TEST_DATA "/client/session.txt");
  std::string expected;
  for (std::string line; std::getline(session, line);) {
    if (line.empty() || line[0] == '#') continue;
    expected += line + '\n';
    if (line[0] != '>') continue;
    seen += line + '\n';
    const std::vector<std::string> words = Words(line);
    const QString name = QString::fromStdString(words.at(2));
    const QString typed =
        QString::fromStdString(std::accumulate(words.begin() + 3, words.end(), std::string()));
    if (auto* edit = form->findChild<QLineEdit*>(name)) edit->setText(typed);
    if (auto* memo = form->findChild<QPlainTextEdit*>(name)) memo->setPlainText(typed);
    if (auto* button = form->findChild<QPushButton*>(name)) button->click();
    note("");
  }
  form->close();

  // The driver ends about 100 ms after "Close", and its socket with it.
  const std::string socket = links.SocketPath(DriverService);
  for (int tries = 0; tries < 50 && std::filesystem::exists(socket); ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(std::filesystem::exists(socket)) << "the driver outlived Exit";
  // Last, all the driver wrote, as zelsim saw it.
  const std::string log = sim.ErrorText();
  const std::regex written("wrote by driver: [^\n]*");
  for (std::sregex_iterator it(log.begin(), log.end(), written), end; it != end; ++it)
    note(it->str());
  EXPECT_EQ(seen, expected);
}

}  // namespace
}  // namespace zel::test
