#include "ddelink/local/LocalLinkServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <algorithm>
#include <map>

#include "ddelink/ServiceName.h"

namespace zel {

namespace {

// What Qt reads ahead per connection, and what an unread client may leave queued to it before it
// is dropped: together they bound the driver's memory whatever a client does.
constexpr qint64 ReadChunk = 64 * 1024;
constexpr qint64 MaxUnsentBytes = 16 * 1024 * 1024;

}  // namespace

struct LocalLinkServer::Connection {
  QLocalSocket* socket = nullptr;
  MessageReader reader;
  bool conversing = false;                  // its Connect was accepted
  std::map<std::string, uint32_t> advises;  // item -> id of the Advise that opened the link
  bool gone = false;
};

LocalLinkServer::LocalLinkServer(ServerConversation& conversation, QObject* parent)
    : QObject(parent), conversation_(conversation), server_(new QLocalServer(this)) {
  connect(server_, &QLocalServer::newConnection, this, &LocalLinkServer::Accept);
  conversation_.Item().SetChangeListener([this] { NotifyAdviseLinks(); });
}

LocalLinkServer::~LocalLinkServer() {
  conversation_.Item().SetChangeListener(nullptr);
  for (const auto& connection : connections_) connection->gone = true;
  server_->close();
}

Outcome<LinkServer::RegisterError> LocalLinkServer::Register(const std::string& service) {
  using Result = Outcome<RegisterError>;
  if (!IsUsableServiceName(service)) {
    return Result::Failure(RegisterError::Failed, "cannot serve the name \"" + service + "\"");
  }
  std::string error;
  const std::string directory = LinkDirectory(error);
  if (directory.empty()) return Result::Failure(RegisterError::Failed, error);
  const std::string path = ServiceSocketPath(directory, service);

  Result locked = lock_.Acquire(path);
  if (locked.code == RegisterError::AlreadyServed) {
    locked.text = "service " + service + " is already served by a running driver";
  }
  if (!locked.Ok()) return locked;
  // Holding the lock, any socket file left here belongs to a driver that died.
  QLocalServer::removeServer(QString::fromStdString(path));
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(QString::fromStdString(path))) {
    return Result::Failure(RegisterError::Failed, "cannot listen on " + path + ": " +
                                                      server_->errorString().toStdString());
  }
  socketPath_ = path;
  return Result::Success();
}

void LocalLinkServer::Accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    if (!PeerIsOwner(socket->socketDescriptor())) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    auto connection = std::make_shared<Connection>();
    connection->socket = socket;
    socket->setReadBufferSize(ReadChunk);
    connections_.push_back(connection);
    std::weak_ptr<Connection> weak = connection;
    connect(socket, &QLocalSocket::readyRead, this, [this, weak] {
      if (auto c = weak.lock()) ReadFrom(c);
    });
    connect(socket, &QLocalSocket::disconnected, this, [this, weak] {
      if (auto c = weak.lock()) Drop(c);
    });
    if (socket->bytesAvailable() > 0) ReadFrom(connection);
  }
}

void LocalLinkServer::ReadFrom(const ConnectionPtr& connection) {
  QLocalSocket* socket = connection->socket;
  char chunk[16 * 1024];
  while (!connection->gone && !connection->reader.IsBroken() && socket->bytesAvailable() > 0) {
    const qint64 got = socket->read(chunk, sizeof chunk);
    if (got <= 0) break;
    connection->reader.Feed(std::string_view(chunk, static_cast<std::size_t>(got)));
    while (connection->reader.HasEvent()) queue_.push_back({connection, connection->reader.Next()});
  }
  Drain();
}

void LocalLinkServer::ServeWhatHasArrived(int flushTimeoutMs) {
  const auto connections = connections_;
  for (const auto& connection : connections) {
    if (connection->gone) continue;
    connection->socket->waitForReadyRead(0);  // takes in what the system holds for us
    ReadFrom(connection);
  }
  for (const auto& connection : connections_)
    if (!connection->gone) connection->socket->waitForBytesWritten(flushTimeoutMs);
}

void LocalLinkServer::Drop(const ConnectionPtr& connection) {
  // Its queued transactions still run: an execute is carried out even when its client is gone.
  connection->gone = true;
  connections_.erase(std::remove(connections_.begin(), connections_.end(), connection),
                     connections_.end());
  connection->socket->deleteLater();
}

void LocalLinkServer::Drain() {
  // One transaction at a time: a nested event loop inside a handler only queues.
  if (serving_) return;
  serving_ = true;
  while (!queue_.empty()) {
    Pending next = std::move(queue_.front());
    queue_.pop_front();
    Connection& connection = *next.connection;
    switch (next.event.type) {
      case MessageReader::EventType::Message:
        Serve(connection, next.event.message);
        break;
      case MessageReader::EventType::Rejected:
        Answer(connection, MessageKind::Nak, next.event.message.id, next.event.reason);
        break;
      case MessageReader::EventType::Broken:
        Answer(connection, MessageKind::Nak, 0, next.event.reason);
        if (!connection.gone) connection.socket->disconnectFromServer();
        break;
    }
  }
  serving_ = false;
}

void LocalLinkServer::Serve(Connection& connection, const LinkMessage& message) {
  if (message.kind == MessageKind::Connect) {
    if (!conversation_.AcceptsTopic(message.text)) {
      Answer(connection, MessageKind::Nak, message.id, "no such topic");
      return;
    }
    connection.conversing = true;
    Answer(connection, MessageKind::Ack, message.id);
    return;
  }
  if (!connection.conversing) {
    Answer(connection, MessageKind::Nak, message.id, "no conversation: connect to a topic first");
    return;
  }
  TransactionResult result = TransactionResult::Done;
  switch (message.kind) {
    case MessageKind::Execute:
      conversation_.Execute(message.text);
      break;
    case MessageKind::Poke:
      result = conversation_.Poke(message.item, message.format, message.text);
      break;
    case MessageKind::Request: {
      std::string answer;
      result = conversation_.Request(message.item, message.format, answer);
      if (result == TransactionResult::Done) {
        Answer(connection, MessageKind::Data, message.id, answer);
        return;
      }
      break;
    }
    case MessageKind::Advise:
      result = conversation_.CheckItem(message.item, message.format);
      if (result == TransactionResult::Done) connection.advises[message.item] = message.id;
      break;
    case MessageKind::Unadvise:
      result = conversation_.CheckItem(message.item, message.format);
      connection.advises.erase(message.item);
      break;
    default:
      Answer(connection, MessageKind::Nak, message.id, "not a client transaction");
      return;
  }
  if (result == TransactionResult::Done)
    Answer(connection, MessageKind::Ack, message.id);
  else
    Answer(connection, MessageKind::Nak, message.id, RefusalReason(result));
}

void LocalLinkServer::Answer(Connection& connection, MessageKind kind, uint32_t id,
                             std::string text) {
  Send(connection, MakeMessage(kind, id, std::move(text)));
}

void LocalLinkServer::Send(Connection& connection, const LinkMessage& message) {
  if (connection.gone) return;
  QLocalSocket* socket = connection.socket;
  const std::string bytes = EncodeMessage(message);
  socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
  // Hand it to the system now: a client that has half-closed its end is dropped by Qt as soon as
  // the end of its input is read, and whatever is still queued here would be lost with it.
  socket->flush();
  if (socket->bytesToWrite() > MaxUnsentBytes) {
    // A client that never reads its answers is cut off rather than fed forever.
    connection.gone = true;
    socket->abort();
  }
}

void LocalLinkServer::NotifyAdviseLinks() {
  const std::string& item = conversation_.Item().Name();
  const auto connections = connections_;  // a send may drop a connection
  for (const auto& connection : connections) {
    const auto link = connection->advises.find(item);
    if (link == connection->advises.end()) continue;
    Send(*connection, MakeMessage(MessageKind::Notice, link->second, {}, item));
  }
}

}  // namespace zel
