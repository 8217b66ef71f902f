#include "ddelink/local/LocalLinkServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>

#include "ddelink/ServiceName.h"

namespace zel {

namespace {

constexpr std::size_t ReadChunk = 16 * 1024;
// Reads per wake-up of one connection, so that a busy client cannot starve the others.
constexpr int ReadsPerTurn = 4;
// A client with this much of its answers unread is not read from until it catches up.
constexpr std::size_t ReadingPausesAt = 1024 * 1024;
constexpr char TooManyConnectionsText[] = "too many connections";

bool OutOfDescriptors(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

struct LocalLinkServer::Connection {
  Connection(int socket, ServerConversation& conversation, BroadcastTopic* broadcast,
             MessageBudget& budget)
      : fd(socket), reader(&budget), session(conversation, broadcast) {}

  int fd;
  MessageReader reader;
  LinkSession session;
  QSocketNotifier* readable = nullptr;  // children of the server
  QSocketNotifier* writable = nullptr;
  std::string outbox;  // answers not yet taken by the system, from `sent` on
  std::size_t sent = 0;
  int queued = 0;           // its transactions still waiting to be served
  bool inputEnded = false;  // end of its input, or a stream that cannot be read on
  bool deferred = false;    // became readable while a transaction was being served
  bool gone = false;

  std::size_t Unsent() const { return outbox.size() - sent; }
};

LocalLinkServer::LocalLinkServer(ServerConversation& conversation, LinkLimits limits,
                                 QObject* parent)
    : QObject(parent), conversation_(conversation), limits_(limits), budget_(limits.messageBudget) {
  conversation_.Item().SetChangeListener(
      [this] { NotifyAdviseLinks(conversation_.Item().Name()); });
}

void LocalLinkServer::ServeBroadcast(BroadcastTopic& broadcast) {
  broadcast_ = &broadcast;
  broadcast.SetPublished([this] { NotifyAdviseLinks(broadcast_->ItemName()); });
}

LocalLinkServer::~LocalLinkServer() {
  conversation_.Item().SetChangeListener(nullptr);
  if (broadcast_) broadcast_->SetPublished(nullptr);
  const auto connections = connections_;
  for (const auto& connection : connections) Drop(connection);
  // Their sessions stop listening now, not whenever the last reference goes.
  queue_.clear();
  deferred_.clear();
  delete acceptNotifier_;
  if (listener_ >= 0) {
    close(listener_);
    // Only our own socket file: the lock, released after it, lets a successor create a new one.
    unlink(socketPath_.c_str());
  }
  lock_.Release();
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
  listener_ = ListenAt(path, error);
  if (listener_ < 0) return Result::Failure(RegisterError::Failed, error);
  socketPath_ = path;
  acceptNotifier_ = new QSocketNotifier(listener_, QSocketNotifier::Read, this);
  connect(acceptNotifier_, &QSocketNotifier::activated, this, &LocalLinkServer::Accept);
  return Result::Success();
}

void LocalLinkServer::Accept() {
  for (;;) {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Admit(fd);
      continue;
    }
    // An error of one connection never ends the listening; running out of descriptors rests it.
    if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO) continue;
    if (OutOfDescriptors(errno)) PauseAccepting();
    return;
  }
}

void LocalLinkServer::Admit(int fd) {
  if (!PeerIsOwner(fd)) {
    close(fd);
    return;
  }
  if (connections_.size() >= limits_.maxConnections) {
    const std::string refusal =
        EncodeMessage(MakeMessage(MessageKind::Nak, 0, TooManyConnectionsText));
    (void)!send(fd, refusal.data(), refusal.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    close(fd);
    return;
  }
  auto connection = std::make_shared<Connection>(fd, conversation_, broadcast_, budget_);
  connection->readable = new QSocketNotifier(fd, QSocketNotifier::Read, this);
  connection->writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
  connection->writable->setEnabled(false);
  std::weak_ptr<Connection> weak = connection;
  connect(connection->readable, &QSocketNotifier::activated, this, [this, weak] {
    if (auto c = weak.lock()) ReadFrom(c);
  });
  connect(connection->writable, &QSocketNotifier::activated, this, [this, weak] {
    if (auto c = weak.lock()) Flush(c);
  });
  connections_.push_back(std::move(connection));
}

void LocalLinkServer::PauseAccepting() {
  acceptNotifier_->setEnabled(false);
  QTimer::singleShot(limits_.acceptPauseMs, this, [this] { acceptNotifier_->setEnabled(true); });
}

void LocalLinkServer::ReadFrom(const ConnectionPtr& connection, bool untilEmpty) {
  if (serving_) {
    // Served one at a time: what arrives during a transaction stays with the system till after.
    connection->readable->setEnabled(false);
    connection->deferred = true;
    deferred_.push_back(connection);
    return;
  }
  char chunk[ReadChunk];
  for (int reads = 0; untilEmpty || reads < ReadsPerTurn; ++reads) {
    if (connection->gone || connection->inputEnded) break;
    if (connection->Unsent() >= ReadingPausesAt) break;
    const ssize_t got = recv(connection->fd, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (got < 0) {
      Drop(connection);
      break;
    }
    if (got == 0) {
      connection->inputEnded = true;
      break;
    }
    connection->reader.Feed(std::string_view(chunk, static_cast<std::size_t>(got)));
    while (connection->reader.HasEvent()) {
      queue_.push_back({connection, connection->reader.Next()});
      ++connection->queued;
    }
    if (connection->reader.IsBroken()) connection->inputEnded = true;
  }
  Drain();
  UpdateInterest(connection);
}

void LocalLinkServer::Drain() {
  // One transaction at a time: a nested event loop inside a handler only defers.
  if (serving_) return;
  serving_ = true;
  while (!queue_.empty()) {
    Pending next = std::move(queue_.front());
    queue_.pop_front();
    --next.connection->queued;
    // Served even for a client that has gone: an execute is carried out all the same.
    Send(next.connection, next.connection->session.Serve(next.event));
    UpdateInterest(next.connection);
  }
  serving_ = false;
  for (const auto& connection : std::exchange(deferred_, {})) {
    connection->deferred = false;
    UpdateInterest(connection);
  }
}

void LocalLinkServer::Send(const ConnectionPtr& connection, const LinkMessage& message) {
  if (connection->gone) return;
  connection->outbox += EncodeMessage(message);
  Flush(connection);
}

void LocalLinkServer::Flush(const ConnectionPtr& connection) {
  while (!connection->gone && connection->Unsent() > 0) {
    const ssize_t put = send(connection->fd, connection->outbox.data() + connection->sent,
                             connection->Unsent(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (put > 0) {
      connection->sent += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    Drop(connection);  // the client has gone
    return;
  }
  if (connection->gone) return;
  if (connection->Unsent() > limits_.maxUnsentBytes) {
    // A client that never reads its answers is cut off rather than fed forever.
    Drop(connection);
    return;
  }
  if (connection->Unsent() == 0) {
    connection->outbox.clear();
    connection->sent = 0;
  } else if (connection->sent > connection->outbox.size() / 2) {
    connection->outbox.erase(0, connection->sent);
    connection->sent = 0;
  }
  UpdateInterest(connection);
}

void LocalLinkServer::UpdateInterest(const ConnectionPtr& connection) {
  if (connection->gone) return;
  const bool unsent = connection->Unsent() > 0;
  // Closed only once every answer it is owed has left.
  if (connection->inputEnded && connection->queued == 0 && !unsent) {
    Drop(connection);
    return;
  }
  connection->writable->setEnabled(unsent);
  connection->readable->setEnabled(!connection->inputEnded && !connection->deferred &&
                                   connection->Unsent() < ReadingPausesAt);
}

void LocalLinkServer::Drop(const ConnectionPtr& connection) {
  // Its queued transactions still run; their answers go nowhere.
  if (connection->gone) return;
  connection->gone = true;
  // Dropping may happen inside a notifier's own signal: they go once control is back in the loop.
  for (QSocketNotifier* notifier : {connection->readable, connection->writable}) {
    notifier->setEnabled(false);
    notifier->deleteLater();
  }
  close(connection->fd);
  connection->outbox = std::string();
  connections_.erase(std::remove(connections_.begin(), connections_.end(), connection),
                     connections_.end());
}

void LocalLinkServer::ServeWhatHasArrived(int flushTimeoutMs) {
  const auto connections = connections_;
  for (const auto& connection : connections) ReadFrom(connection, true);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(flushTimeoutMs);
  for (;;) {
    std::vector<pollfd> waiting;
    for (const auto& connection : connections_)
      if (connection->Unsent() > 0) waiting.push_back({connection->fd, POLLOUT, 0});
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (waiting.empty() || left.count() <= 0) return;
    poll(waiting.data(), waiting.size(), static_cast<int>(left.count()));
    const auto writers = connections_;
    for (const auto& connection : writers) Flush(connection);
  }
}

void LocalLinkServer::NotifyAdviseLinks(const std::string& item) {
  const auto connections = connections_;  // a send may drop a connection
  for (const auto& connection : connections)
    if (auto notice = connection->session.NoticeFor(item)) Send(connection, *notice);
}

}  // namespace zel
