#include "ddelink/local/LocalLinkClient.h"

#include <QDeadlineTimer>

#include "ddelink/ServiceName.h"
#include "ddelink/local/LinkEndpoint.h"

namespace zel {

namespace {

// Notices nobody waits for are kept only up to this many.
constexpr std::size_t MaxQueuedNotices = 1024;

}  // namespace

LocalLinkClient::~LocalLinkClient() { Disconnect(); }

bool LocalLinkClient::Fail(std::string error) {
  error_ = std::move(error);
  return false;
}

bool LocalLinkClient::Connect(const std::string& service, const std::string& topic) {
  Disconnect();
  if (!IsUsableServiceName(service)) return Fail("not a service name: \"" + service + "\"");
  std::string error;
  const std::string directory = LinkDirectory(error);
  if (directory.empty()) return Fail(error);

  socket_.connectToServer(QString::fromStdString(ServiceSocketPath(directory, service)));
  if (!socket_.waitForConnected(ConnectTimeoutMs))
    return Fail("service " + service + " is not running (" + socket_.errorString().toStdString() +
                ")");
  const auto answer =
      AwaitAnswer(Send(MakeMessage(MessageKind::Connect, 0, topic)), ConnectTimeoutMs);
  if (answer && answer->kind == MessageKind::Ack) return true;
  // A refusal names the topic; no answer at all is the driver's doing, not the topic's.
  const std::string outcome = answer ? "refused topic \"" + topic + "\": " + answer->text
                                     : "did not answer the connection: " + error_;
  Disconnect();
  return Fail("service " + service + " " + outcome);
}

void LocalLinkClient::Disconnect() {
  if (socket_.state() == QLocalSocket::ConnectedState) {
    // Executes are not waited for; make sure they have left before the socket closes.
    while (socket_.bytesToWrite() > 0 && socket_.waitForBytesWritten(ConnectTimeoutMs)) {
    }
    socket_.disconnectFromServer();
  }
  socket_.abort();
  reader_.Reset();
  awaited_.clear();
  answers_.clear();
  notices_.clear();
}

bool LocalLinkClient::IsConnected() const {
  return socket_.state() == QLocalSocket::ConnectedState && !reader_.IsBroken();
}

uint32_t LocalLinkClient::Send(LinkMessage message) {
  message.id = nextId_++;
  if (nextId_ == 0) nextId_ = 1;  // 0 is the driver's "no transaction"
  const std::string bytes = EncodeMessage(message);
  socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  socket_.flush();
  return message.id;
}

bool LocalLinkClient::ReadAvailable() {
  char chunk[16 * 1024];
  while (socket_.bytesAvailable() > 0) {
    const qint64 got = socket_.read(chunk, sizeof chunk);
    if (got <= 0) break;
    reader_.Feed(std::string_view(chunk, static_cast<std::size_t>(got)));
  }
  while (reader_.HasEvent()) {
    MessageReader::Event event = reader_.Next();
    if (event.type != MessageReader::EventType::Message) continue;
    LinkMessage& message = event.message;
    if (message.kind == MessageKind::Notice) {
      if (notices_.size() < MaxQueuedNotices) notices_.push_back(message.item);
    } else if (awaited_.count(message.id)) {
      answers_[message.id] = std::move(message);
    }
  }
  return !reader_.IsBroken();
}

std::optional<LinkMessage> LocalLinkClient::AwaitAnswer(uint32_t id, int timeoutMs) {
  awaited_.insert(id);
  QDeadlineTimer deadline(timeoutMs);
  std::optional<LinkMessage> answer;
  for (;;) {
    if (!ReadAvailable()) {
      Fail("the driver's answer is malformed");
      break;
    }
    if (auto found = answers_.find(id); found != answers_.end()) {
      answer = std::move(found->second);
      answers_.erase(found);
      break;
    }
    if (socket_.state() != QLocalSocket::ConnectedState) {
      Fail("the conversation was closed");
      break;
    }
    if (deadline.hasExpired()) {
      Fail("no answer within " + std::to_string(timeoutMs) + " ms");
      break;
    }
    socket_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
  }
  awaited_.erase(id);
  return answer;
}

bool LocalLinkClient::Execute(const std::string& text) {
  if (!IsConnected()) return Fail("no conversation");
  Send(MakeMessage(MessageKind::Execute, 0, text));
  return true;
}

bool LocalLinkClient::Poke(const std::string& item, const std::string& text, int timeoutMs) {
  if (!IsConnected()) return Fail("no conversation");
  const auto answer = AwaitAnswer(Send(MakeMessage(MessageKind::Poke, 0, text, item)), timeoutMs);
  if (!answer) return false;
  if (answer->kind != MessageKind::Ack) return Fail("refused: " + answer->text);
  return true;
}

std::optional<std::string> LocalLinkClient::Request(const std::string& item, int timeoutMs) {
  if (!IsConnected()) {
    Fail("no conversation");
    return std::nullopt;
  }
  const auto answer = AwaitAnswer(Send(MakeMessage(MessageKind::Request, 0, {}, item)), timeoutMs);
  if (!answer) return std::nullopt;
  if (answer->kind != MessageKind::Data) {
    Fail("refused: " + answer->text);
    return std::nullopt;
  }
  return answer->text;
}

bool LocalLinkClient::StartAdvise(const std::string& item, int timeoutMs) {
  if (!IsConnected()) return Fail("no conversation");
  const auto answer = AwaitAnswer(Send(MakeMessage(MessageKind::Advise, 0, {}, item)), timeoutMs);
  if (!answer) return false;
  if (answer->kind != MessageKind::Ack) return Fail("refused: " + answer->text);
  return true;
}

bool LocalLinkClient::WaitForNotice(int timeoutMs) {
  QDeadlineTimer deadline(timeoutMs);
  for (;;) {
    if (!ReadAvailable()) return Fail("the driver's answer is malformed");
    if (!notices_.empty()) {
      notices_.pop_front();
      return true;
    }
    if (socket_.state() != QLocalSocket::ConnectedState) return Fail("the conversation was closed");
    if (deadline.hasExpired()) return Fail("no notice within " + std::to_string(timeoutMs) + " ms");
    socket_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
  }
}

std::unique_ptr<LinkClient> MakePlatformLinkClient() {
  return std::make_unique<LocalLinkClient>();
}

}  // namespace zel
