// The driver's link, end to end: a real ZELdrv process, real sockets, zelctl and raw clients.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "ddelink/local/LocalLinkClient.h"
#include "tests/support/DriverProcess.h"
#include "tests/support/RawLinkSocket.h"

namespace zel {

namespace {

class DriverLinkTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(driver.Start(links)) << driver.StandardError(); }

  std::string Socket() const { return links.SocketPath("ZELdrv"); }

  // A raw client that has opened the conversation.
  void OpenRaw(RawLinkSocket& raw) {
    ASSERT_TRUE(raw.Connect(Socket()));
    ASSERT_TRUE(raw.Send(MakeMessage(MessageKind::Connect, 1, "ZELdriver")));
    const auto answers = raw.Receive(1, 10000);
    ASSERT_EQ(answers.size(), 1u);
    ASSERT_EQ(answers[0].kind, MessageKind::Ack);
  }

  PrivateLinkDirectory links;
  DriverInstallation installation;
  DriverProcess driver{installation.Program()};
};

}  // namespace

TEST_F(DriverLinkTest, ItemAnswersEmptyBeforeAnyPokeAndCrLfAfterOne) {
  auto before = RunZelctl({"request"});
  EXPECT_EQ(before.exitCode, 0) << before.err;
  EXPECT_EQ(before.out, "");
  EXPECT_EQ(RunZelctl({"poke", "0205 0001 1234AB", "request"}).out, "\r\n");
}

// Topic and item matching are unit-tested; here the refusals as zelctl reports them.
TEST_F(DriverLinkTest, WrongTopicOrItemIsRefused) {
  const auto wrongTopic = RunZelctl({"--topic", "ZELdrvX", "request"});
  EXPECT_EQ(wrongTopic.exitCode, 3);
  EXPECT_NE(wrongTopic.err.find("ZELdrvX"), std::string::npos) << wrongTopic.err;
  const auto wrongItem = RunZelctl({"--item", "zelddeitem", "poke", "0205 0001 12"});
  EXPECT_EQ(wrongItem.exitCode, 1);
  EXPECT_NE(wrongItem.err.find("no such item"), std::string::npos) << wrongItem.err;
}

TEST_F(DriverLinkTest, OtherFormatsAndTransactionsBeforeConnectAreRefused) {
  RawLinkSocket raw;
  ASSERT_TRUE(raw.Connect(Socket()));
  raw.Send(MakeMessage(MessageKind::Request, 5, "", "ZELDDEItem"));  // no conversation yet
  raw.Send(MakeMessage(MessageKind::Connect, 6, "ZELDRIVER"));
  raw.Send(MakeMessage(MessageKind::Poke, 7, "12", "ZELDDEItem", 13));  // not text
  raw.Send(MakeMessage(MessageKind::Request, 8, "", "ZELDDEItem"));
  const auto answers = raw.Receive(4, 10000);
  ASSERT_EQ(answers.size(), 4u);
  EXPECT_EQ(answers[0].kind, MessageKind::Nak);
  EXPECT_EQ(answers[1].kind, MessageKind::Ack);
  EXPECT_EQ(answers[2].kind, MessageKind::Nak);
  EXPECT_EQ(answers[3].kind, MessageKind::Data);
  EXPECT_EQ(answers[3].text, "") << "the refused poke must not have reached the item";
}

TEST_F(DriverLinkTest, AnswersComeInOrderOfTheTransactions) {
  RawLinkSocket raw;
  OpenRaw(raw);
  std::string burst;
  for (uint32_t id = 100; id < 400; id += 3) {
    burst += EncodeMessage(MakeMessage(MessageKind::Poke, id, "0205 0001 12", "ZELDDEItem"));
    burst += EncodeMessage(MakeMessage(MessageKind::Execute, id + 1, "Foo"));
    burst += EncodeMessage(MakeMessage(MessageKind::Request, id + 2, "", "ZELDDEItem"));
  }
  ASSERT_TRUE(raw.SendBytes(burst));
  const auto answers = raw.Receive(300, 20000);
  ASSERT_EQ(answers.size(), 300u);
  for (uint32_t i = 0; i < 300; ++i) {
    EXPECT_EQ(answers[i].id, 100 + i);
    EXPECT_EQ(answers[i].kind, i % 3 == 2 ? MessageKind::Data : MessageKind::Ack);
  }
}

TEST_F(DriverLinkTest, OversizedPokeIsRefusedWhileEveryoneIsStillServed) {
  LocalLinkClient bystander;
  ASSERT_TRUE(bystander.Connect("ZELdrv", "ZELdriver"));

  const std::string twoMiB(2 * 1024 * 1024, '1');
  const auto refused = RunZelctl({"poke", "-", "request"}, twoMiB);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("message too large"), std::string::npos) << refused.err;

  // The same kind of client on the same connection goes on after its refusal...
  LocalLinkClient sender;
  ASSERT_TRUE(sender.Connect("ZELdrv", "ZELdriver"));
  EXPECT_FALSE(sender.Poke("ZELDDEItem", twoMiB, 10000));
  EXPECT_TRUE(sender.Poke("ZELDDEItem", "0205 0001 12", 10000)) << sender.LastError();
  // ...and everyone else was served all along.
  const auto answer = bystander.Request("ZELDDEItem", 10000);
  ASSERT_TRUE(answer.has_value()) << bystander.LastError();
  EXPECT_EQ(*answer, "\r\n");
}

TEST_F(DriverLinkTest, BrokenFramingClosesOnlyThatConnection) {
  LocalLinkClient bystander;
  ASSERT_TRUE(bystander.Connect("ZELdrv", "ZELdriver"));
  RawLinkSocket raw;
  OpenRaw(raw);
  raw.SendBytes(std::string("\x02\0\0\0xx", 6));  // shorter than kind and id
  EXPECT_TRUE(raw.ClosedByPeer(10000));
  EXPECT_TRUE(bystander.Poke("ZELDDEItem", "0205 0001 12", 10000)) << bystander.LastError();
}

TEST_F(DriverLinkTest, ClientThatHalfClosesStillReceivesEveryAnswer) {
  RawLinkSocket raw;
  ASSERT_TRUE(raw.Connect(Socket()));
  std::string burst = EncodeMessage(MakeMessage(MessageKind::Connect, 1, "ZELdriver"));
  burst += EncodeMessage(MakeMessage(MessageKind::Request, 2, "", "ZELDDEItem"));
  burst += EncodeMessage(MakeMessage(MessageKind::Poke, 3, "0205 0001 1234AB", "ZELDDEItem"));
  burst += EncodeMessage(MakeMessage(MessageKind::Execute, 4, "Foo"));
  burst += EncodeMessage(MakeMessage(MessageKind::Request, 5, "", "ZELDDEItem"));
  ASSERT_TRUE(raw.SendBytes(burst));
  raw.ShutdownWrite();
  const auto answers = raw.Receive(5, 10000);
  ASSERT_EQ(answers.size(), 5u);
  EXPECT_EQ(answers[1].kind, MessageKind::Data);
  EXPECT_EQ(answers[1].text, "");
  EXPECT_EQ(answers[4].kind, MessageKind::Data);
  EXPECT_EQ(answers[4].text, "\r\n");
}

// The poke sets the item twice, its lines and then the empty text: two notices.
TEST_F(DriverLinkTest, ZelctlWatchPrintsTheItemAtEachNotice) {
  QProcess watch;
  watch.start(QString::fromStdString(BuiltProgram("zelctl")), {"--timeout", "20000", "watch", "2"});
  ASSERT_TRUE(watch.waitForStarted());
  // Give the watcher time to open its link; a poke before that would be missed.
  LocalLinkClient poker;
  ASSERT_TRUE(poker.Connect("ZELdrv", "ZELdriver"));
  QThread::msleep(500);
  ASSERT_TRUE(poker.Poke("ZELDDEItem", "0205 0001 12", 10000));
  ASSERT_TRUE(watch.waitForFinished(30000));
  EXPECT_EQ(watch.exitCode(), 0) << watch.readAllStandardError().toStdString();
  EXPECT_EQ(watch.readAllStandardOutput().toStdString(), "\r\n\r\n");
}

TEST_F(DriverLinkTest, SecondDriverWithTheSameServiceSaysSoAndEnds) {
  DriverProcess second(installation.Program());
  ASSERT_TRUE(second.Launch(links));
  EXPECT_EQ(second.WaitForExit(10000), 1);
  EXPECT_NE(second.StandardError().find("already served"), std::string::npos);
  EXPECT_EQ(RunZelctl({"request"}).exitCode, 0) << "the first driver must keep its service";
}

TEST_F(DriverLinkTest, SocketLeftByAKilledDriverDoesNotStopTheNext) {
  driver.Kill();
  ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(Socket())));
  DriverProcess next(installation.Program());
  ASSERT_TRUE(next.Start(links)) << next.StandardError();
  EXPECT_EQ(RunZelctl({"poke", "12", "request"}).out, "\r\n");
}

TEST_F(DriverLinkTest, ConnectionsFromAnotherUserAreRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  // Open the way through the file system, so only the driver's own check stands.
  chmod(links.Path().c_str(), 0755);
  chmod(Socket().c_str(), 0777);
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
    RawLinkSocket raw;
    if (!raw.Connect(Socket())) _exit(11);
    raw.Send(MakeMessage(MessageKind::Connect, 1, "ZELdriver"));
    const bool refused = raw.Receive(1, 5000).empty() && raw.ClosedByPeer(5000);
    _exit(refused ? 0 : 12);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(DriverLinkTest, TransactionsOfAClientThatLeftAreStillCarriedOut) {
  {
    RawLinkSocket raw;
    ASSERT_TRUE(raw.Connect(Socket()));
    std::string burst = EncodeMessage(MakeMessage(MessageKind::Connect, 1, "ZELdriver"));
    burst += EncodeMessage(MakeMessage(MessageKind::Poke, 2, "0205 0001 12", "ZELDDEItem"));
    ASSERT_TRUE(raw.SendBytes(burst));
  }  // gone without waiting for an answer
  // The poke ran: the item went from "no line" to one empty line.
  const auto after = RunZelctl({"request"});
  EXPECT_EQ(after.exitCode, 0);
  EXPECT_EQ(after.out, "\r\n");
}

TEST_F(DriverLinkTest, CopyUnderAnotherNameServesThatName) {
  DriverInstallation copy("/dev/zel-test-absent-port", "Immediately answer", "ZELdrv2");
  ASSERT_TRUE(copy.Ok());
  DriverProcess second(copy.Program());
  ASSERT_TRUE(second.Start(links, "ZELdrv2")) << second.StandardError();
  EXPECT_EQ(RunZelctl({"--service", "ZELdrv2", "poke", "12", "request"}).out, "\r\n");
  EXPECT_EQ(RunZelctl({"request"}).out, "") << "the first driver's item was not touched";
}

}  // namespace zel
