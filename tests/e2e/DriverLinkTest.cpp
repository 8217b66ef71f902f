// The driver's link end to end: a real ZELdrv process, real sockets, raw clients and zelctl.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFileInfo>
#include <fstream>
#include <sstream>

#include "ddelink/local/LocalLinkClient.h"
#include "tests/support/DataText.h"
#include "tests/support/DriverProcess.h"

namespace zel {

namespace {

using K = MessageKind;
using Texts = std::vector<std::string>;

// A client at the byte level, for what a well-behaved client never does: malformed messages,
// sending everything at once, half-closing.
struct RawClient {
  explicit RawClient(const std::string& socketPath) {
    sockaddr_un address{AF_UNIX, {}};
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    const timeval patience{20, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  ~RawClient() { close(fd); }
  bool Send(const std::string& bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }

  // Up to `count` answers as "kind id text"; "closed" when the driver closed, "no answer" when
  // nothing came for 20 s.
  Texts Answers(size_t count) {
    Texts answers;
    for (char chunk[65536]; answers.size() < count;) {
      if (!reader.HasEvent()) {
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        const bool waited = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        if (n <= 0) {
          answers.push_back(waited ? "no answer" : "closed");
          return answers;
        }
        reader.Feed(std::string_view(chunk, size_t(n)));
        continue;
      }
      const LinkMessage a = reader.Next().message;
      answers.push_back(std::string{char(a.kind), ' '} + std::to_string(a.id) +
                        (a.text.empty() ? "" : " " + a.text));
    }
    return answers;
  }

  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  MessageReader reader;
};

class DriverLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(driver.Start(links)) << driver.StandardError(); }

  // The conversation of tests/data/front/conversation.link, then `pairs` times a poke and a
  // request, all sent at once: the answers come in order, also to a client that half-closes.
  void ExpectEveryAnswerInOrder(bool halfClose, uint32_t pairs) {
    std::string burst;
    Texts answers;
    std::ifstream in(ZEL_TEST_DATA "/front/conversation.link");
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      const auto bytes = test::ParseBytes(line.substr(0, line.find("->")));
      burst.append(bytes.begin(), bytes.end());
      for (const std::string& reply : test::Split(line.substr(line.find("->") + 2), "|"))
        answers.push_back(test::Text('"' + reply + '"'));  // \r\n written as escapes
    }
    for (uint32_t id = 100; id < 100 + 2 * pairs; id += 2) {
      burst += EncodeMessage(MakeMessage(K::Poke, id, "12", DriverItem)) +
               EncodeMessage(MakeMessage(K::Request, id + 1, "", DriverItem));
      answers.push_back("k " + std::to_string(id));
      answers.push_back("d " + std::to_string(id + 1) + " \r\n");
    }
    RawClient raw(socketPath);
    ASSERT_TRUE(raw.Send(burst));
    if (halfClose) shutdown(raw.fd, SHUT_WR);
    EXPECT_EQ(raw.Answers(answers.size()), answers);
  }

  PrivateLinkDirectory links;
  DriverInstallation installation;
  DriverProcess driver{installation.Program()};
  std::string socketPath = links.SocketPath(DriverService);
};

}  // namespace

TEST_F(DriverLinkTest, AnswersComeInOrder) { ExpectEveryAnswerInOrder(false, 150); }

TEST_F(DriverLinkTest, ClientThatHalfClosedGetsEveryAnswer) { ExpectEveryAnswerInOrder(true, 0); }

TEST_F(DriverLinkTest, BadInputTouchesOnlyItsOwnConnection) {
  LocalLinkClient bystander;
  ASSERT_TRUE(bystander.Connect(DriverService, DriverTopic));
  const std::string largest(MaxMessageSize - 21, '1');  // with kind, id and item: the largest
  RawClient raw(socketPath);
  ASSERT_TRUE(raw.Send(EncodeMessage(MakeMessage(K::Connect, 1, DriverTopic)) +
                       EncodeMessage(MakeMessage(K::Poke, 2, largest + "1", DriverItem)) +
                       EncodeMessage(MakeMessage(K::Poke, 3, largest, DriverItem)) +
                       EncodeMessage(MakeMessage(K::Request, 4, "", DriverItem)) +
                       std::string("\5\0\0\0Z\11\0\0\0"  // an unknown kind
                                   "\2\0\0\0xx",
                                   15)));  // shorter than kind and id
  EXPECT_EQ(raw.Answers(7), (Texts{"k 1", "n 2 message too large", "k 3", "d 4 \r\n",
                                   "n 9 unknown transaction kind",
                                   "n 0 message shorter than its kind and id", "closed"}));
  EXPECT_EQ(bystander.Request(DriverItem, 10000).value_or(bystander.LastError()), "\r\n");
}

TEST_F(DriverLinkTest, ServiceIsTakenOverFromAKilledDriverButNotFromALiveOne) {
  DriverProcess second(installation.Program());
  ASSERT_TRUE(second.Launch(links));
  EXPECT_EQ(second.WaitForExit(10000), 1);
  EXPECT_NE(second.StandardError().find("already served"), std::string::npos);
  // A copy under another name serves that name beside the first.
  DriverInstallation copy("/dev/zel-test-absent-port", "Immediately answer", "ZELdrv2");
  DriverProcess other(copy.Program());
  ASSERT_TRUE(other.Start(links, "ZELdrv2")) << other.StandardError();
  EXPECT_EQ(RunZelctl({"--service", "ZELdrv2", "poke", "12", "request"}).out, "\r\n");
  EXPECT_EQ(RunZelctl({"request"}).out, "") << "the first driver's item was touched";

  driver.Kill();
  ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(socketPath)));
  DriverProcess next(installation.Program());
  ASSERT_TRUE(next.Start(links)) << next.StandardError();
  EXPECT_EQ(RunZelctl({"run", "PortState"}).out, "Fail\r\n");
  EXPECT_NE(next.StandardError().find("port: /dev/zel-test-absent-port: No such file or directory"),
            std::string::npos)
      << "the status echo says why the port failed";
}

TEST_F(DriverLinkTest, ConnectionsFromAnotherUserAreRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  // Open the way through the file system, so only the driver's own check stands.
  chmod(links.Path().c_str(), 0755);
  chmod(socketPath.c_str(), 0777);
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
    RawClient raw(socketPath);
    raw.Send(EncodeMessage(MakeMessage(K::Connect, 1, DriverTopic)));
    _exit(raw.Answers(1)[0] == "closed" ? 0 : 11);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace zel
