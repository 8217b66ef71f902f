#pragma once
// The link server over a local (Unix domain) socket, on the program's event loop.

#include <QObject>
#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

#include "ddelink/LinkServer.h"
#include "ddelink/LinkSession.h"
#include "ddelink/LinkWire.h"
#include "ddelink/ServerConversation.h"
#include "ddelink/local/LinkEndpoint.h"

class QSocketNotifier;

namespace zel {

// What the server lets its clients take, whatever they do.
struct LinkLimits {
  std::size_t maxConnections = 1024;
  // Unfinished incoming messages over all connections.
  uint64_t messageBudget = 64u * 1024u * 1024u;
  // Answers queued to one client that does not read them before it is cut off.
  std::size_t maxUnsentBytes = 16u * 1024u * 1024u;
  // Out of descriptors, accepting rests this long rather than spin.
  int acceptPauseMs = 100;
};

class LocalLinkServer : public QObject, public LinkServer {
  Q_OBJECT
 public:
  explicit LocalLinkServer(ServerConversation& conversation, LinkLimits limits = {},
                           QObject* parent = nullptr);
  // Closes every connection and removes the socket file and the lock.
  ~LocalLinkServer() override;

  Outcome<RegisterError> Register(const std::string& service) override;
  // Serves a second topic beside the conversation's, from the next connection on; it must
  // outlive this server.
  void ServeBroadcast(BroadcastTopic& broadcast);
  const std::string& SocketPath() const { return socketPath_; }

  // For the end of the program, once its event loop has stopped: serves the transactions that
  // have already arrived (a request sent right after "Close" still gets its answer) and waits
  // up to flushTimeoutMs for the answers to leave.
  void ServeWhatHasArrived(int flushTimeoutMs) override;

 private:
  struct Connection;
  using ConnectionPtr = std::shared_ptr<Connection>;
  struct Pending {
    ConnectionPtr connection;
    MessageReader::Event event;
  };

  void Accept();
  void Admit(int fd);
  void PauseAccepting();
  void ReadFrom(const ConnectionPtr& connection, bool untilEmpty = false);
  void Drain();
  void Send(const ConnectionPtr& connection, const LinkMessage& message);
  void Flush(const ConnectionPtr& connection);
  void UpdateInterest(const ConnectionPtr& connection);
  void Drop(const ConnectionPtr& connection);
  void NotifyAdviseLinks(const std::string& item);

  ServerConversation& conversation_;
  BroadcastTopic* broadcast_ = nullptr;
  const LinkLimits limits_;
  MessageBudget budget_;
  ServiceLock lock_;
  std::string socketPath_;
  int listener_ = -1;
  QSocketNotifier* acceptNotifier_ = nullptr;
  std::vector<ConnectionPtr> connections_;
  std::deque<Pending> queue_;  // transactions in order of arrival, over all connections
  bool serving_ = false;
  std::vector<ConnectionPtr> deferred_;  // arrived while a transaction was being served
};

}  // namespace zel
