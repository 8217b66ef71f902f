// The test client's window against a real driver copy whose serial line is a pseudo-terminal
// played by the test, in a private link directory. Error boxes and message bars go to recorders.

#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <algorithm>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QLineEdit>
#include <thread>

#include "client/qt/ClientForm.h"
#include "tests/support/PtyPair.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/LinePlayer.h"

namespace zel {

using Bytes = std::vector<uint8_t>;

namespace {

std::unique_ptr<ClientLink> LinkStarting(const std::string& program) {
  auto link = std::make_unique<ClientLink>();
  link->SetDriverProgram(program);
  link->SetGiveUpAfter(3000);
  return link;
}

class ClientFormTest : public testing::Test {
 protected:
  explicit ClientFormTest(const std::string& latency = "Approximately 0.25 second")
      : installation(pty.SlavePath(), latency), driver(installation.Program()) {}

  void SetUp() override {
    ASSERT_TRUE(pty.Ok()) << pty.Error();
    ASSERT_TRUE(installation.Ok());
    ASSERT_TRUE(driver.Start(links)) << driver.StandardError();
    form = std::make_unique<TForm1>(LinkStarting(installation.Program()));
    ASSERT_TRUE(form->Link().IsOpen());
    form->ShowEntryError = [this](const QString& caption, const QString& text) {
      errors.push_back((caption + "/" + text).toStdString());
    };
    form->ShowMessage = [this](const std::string& text) { messages.push_back(text); };
    line.SetEcho(LinePlayer::Echo::Faithful);
  }

  std::vector<QPushButton*> SendButtons() const {
    return {form->SendButton, form->SendDumpButton, form->ESendBtn, form->ESendDumpBtn};
  }
  bool AllEnabled(const std::vector<QPushButton*>& buttons, bool enabled) const {
    for (QPushButton* b : buttons)
      if (b->isEnabled() != enabled) return false;
    return true;
  }

  zel::test::PtyPair pty;
  PrivateLinkDirectory links;
  DriverInstallation installation;
  DriverProcess driver;
  LinePlayer line{pty.MasterFd()};
  std::unique_ptr<TForm1> form;
  std::vector<std::string> errors;
  std::vector<std::string> messages;
};

class SlowDriverTest : public ClientFormTest {
 protected:
  SlowDriverTest() : ClientFormTest("Approximately 1.25 seconds") {}
};

const std::string EntryError = "Error/Допустимы только цифры";

}  // namespace

TEST_F(ClientFormTest, StartsWithSendButtonsClosedAndEveryOtherButtonOpen) {
  EXPECT_TRUE(AllEnabled(SendButtons(), false));
  for (QPushButton* b : form->CommandButtons()) {
    const auto& send = SendButtons();
    if (std::find(send.begin(), send.end(), b) == send.end()) {
      EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    }
  }
  EXPECT_TRUE(form->Button4->isEnabled());
  EXPECT_EQ(form->windowTitle().toStdString(), "ZEL test-client");
}

TEST_F(ClientFormTest, PokeWithTheInitialEntryThenSendPutsTheHeaderOnlyFrameOnTheWire) {
  form->PokeButton->click();
  EXPECT_EQ(form->FrameText, "0101 0000 ");
  EXPECT_TRUE(AllEnabled(SendButtons(), true));
  for (QPushButton* send : {form->SendButton, form->ESendBtn}) {
    line.ClearWritten();
    send->click();
    // To 0101 from 0000, no data: header sum 01 + 01 + 00 + 00 + 00 = 0x0002, low byte first.
    EXPECT_EQ(line.WaitForWritten(7), (Bytes{0x01, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00}))
        << send->objectName().toStdString();
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(ClientFormTest, DumpSendsPokeTheDataDigitsAloneAndSendTheDump) {
  form->PokeButton->click();
  form->Memo->setPlainText("12 34");
  for (QPushButton* dump : {form->SendDumpButton, form->ESendDumpBtn}) {
    line.ClearWritten();
    dump->click();
    EXPECT_EQ(form->FrameText, "1234");
    EXPECT_EQ(line.WaitForWritten(2), (Bytes{0x12, 0x34})) << dump->objectName().toStdString();
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(ClientFormTest, ReceiveShowsTheDecodedReplyInRetMemo) {
  // Station 0205 answers station 0001 with 12 34 AB.
  line.SendLater({{0x01, 0x00, 0x05, 0x02, 0x03, 0x0B, 0x00, 0x12, 0x34, 0xAB, 0xF1, 0x00}}, 100);
  form->ReceiveButton->click();
  EXPECT_EQ(form->FrameText, "0001 0205 1234AB\r\n");
  EXPECT_EQ(form->RetMemo->toPlainText().toStdString(), "0001 0205 1234AB\n\n");
}

TEST_F(ClientFormTest, ClearClosesTheSendButtonsAndAFinishedReceiveOpensEveryButton) {
  form->PokeButton->click();
  form->RetMemo->setPlainText("old");
  form->ClearButton->click();
  EXPECT_TRUE(AllEnabled(SendButtons(), false));
  EXPECT_TRUE(form->RetMemo->toPlainText().isEmpty());
  form->HiToEdit->setText("x");  // an invalid entry closes Poke only
  EXPECT_FALSE(form->PokeButton->isEnabled());
  form->ReceiveDumpButton->click();  // no reply comes
  EXPECT_TRUE(AllEnabled(form->CommandButtons(), true));
  EXPECT_EQ(form->RetMemo->toPlainText().toStdString(), "--\n\n");
}

TEST_F(ClientFormTest, AnInvalidEntryStopsTheDumpSendBeforeAnythingIsPoked) {
  form->PokeButton->click();
  const struct {
    QLineEdit* field;
    const char* text;
  } faults[] = {{form->HiToEdit, ""}, {form->LoFromEdit, "1 "}, {form->LoToEdit, "$"}};
  for (const auto& fault : faults) {
    form->HiToEdit->setText("1");
    form->LoToEdit->setText("1");
    form->LoFromEdit->setText("0");
    errors.clear();
    fault.field->setText(fault.text);
    ASSERT_EQ(errors, std::vector<std::string>{EntryError});
    line.ClearWritten();
    form->SendDumpButton->click();
    EXPECT_EQ(errors.size(), 2u) << "the check runs again and shows its box";
    EXPECT_EQ(form->FrameText, "0101 0000 ") << "an address fault leaves FrameText as it was";
  }
  // The driver still holds the first poke: Send puts its frame, not a dump, on the wire.
  line.ClearWritten();
  form->SendButton->click();
  EXPECT_EQ(line.WaitForWritten(7), (Bytes{0x01, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00}));
}

TEST_F(ClientFormTest, VersionAndLineCommandsShowTheirAnswerInTheMessageBar) {
  form->VersionBtn->click();
  form->StateBtn->click();
  EXPECT_EQ(messages, (std::vector<std::string>{"2.32\r\n", "OK\r\n"}));
}

TEST_F(SlowDriverTest, ADriverThatDiesDuringAReceiveDoesNotHoldTheClient) {
  const qint64 pid = driver.Process().processId();
  std::thread killer([pid] {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    ::kill(static_cast<pid_t>(pid), SIGKILL);
  });
  QElapsedTimer took;
  took.start();
  form->ReceiveButton->click();
  killer.join();
  EXPECT_LT(took.elapsed(), 8000);
  EXPECT_TRUE(AllEnabled(form->CommandButtons(), true));
  EXPECT_FALSE(form->Link().IsOpen());
  EXPECT_NE(form->RetMemo->toPlainText().indexOf("No conversation"), -1);
  form->VersionBtn->click();  // returns at once and shows nothing in the bar
  EXPECT_TRUE(messages.empty());
}

TEST(ClientStartTest, StartsTheDriverWhenNoneRunsAndExitClosesIt) {
  PrivateLinkDirectory links;
  DriverInstallation installation;
  ASSERT_TRUE(installation.Ok());
  TForm1 form(LinkStarting(installation.Program()));
  ASSERT_TRUE(form.Link().IsOpen());
  std::vector<std::string> messages;
  form.ShowMessage = [&](const std::string& text) { messages.push_back(text); };
  form.VersionBtn->click();
  EXPECT_EQ(messages, std::vector<std::string>{"2.32\r\n"});
  form.Button4->click();
  // The driver ends on "Close": its socket stops accepting.
  QElapsedTimer waited;
  waited.start();
  ClientLink probe;
  probe.SetDriverProgram("/nonexistent/ZELdrv");
  bool gone = false;
  while (!gone && waited.elapsed() < 5000) gone = !probe.Open();
  EXPECT_TRUE(gone);
}

TEST(ClientStartTest, WithoutADriverTheWindowOpensWithANoticeAndCommandsReturn) {
  PrivateLinkDirectory links;
  TForm1 form(LinkStarting("/nonexistent/ZELdrv"));
  EXPECT_FALSE(form.Link().IsOpen());
  EXPECT_NE(form.RetMemo->toPlainText().indexOf("No conversation"), -1);
  form.ReceiveButton->click();
  EXPECT_TRUE(form.SendButton->isEnabled());
  EXPECT_NE(form.RetMemo->toPlainText().indexOf("Still no conversation"), -1);
}

TEST_F(ClientFormTest, OnlyTheFirstElevenDisplayedMemoLinesAreChecked) {
  const struct {
    std::string memo;
    bool valid;
  } cases[] = {
      {std::string(10, '\n') + "x", false},              // typed line 11
      {std::string(11, '\n') + "x", true},               // typed line 12
      {std::string(100, '0') + "x", false},              // wraps onto a few lines only
      {std::string(1000, '0') + "x", true},              // wrapped far past line 11
  };
  for (const auto& c : cases) {
    errors.clear();
    form->Memo->setPlainText(QString::fromStdString(c.memo));
    EXPECT_EQ(form->PokeButton->isEnabled(), c.valid) << c.memo.size();
    EXPECT_EQ(errors.empty(), c.valid) << c.memo.size();
  }
}

}  // namespace zel
