#pragma once
// The link server over a local (Unix domain) socket.

#include <QObject>
#include <deque>
#include <memory>
#include <vector>

#include "ddelink/LinkServer.h"
#include "ddelink/LinkWire.h"
#include "ddelink/ServerConversation.h"
#include "ddelink/local/LinkEndpoint.h"

class QLocalServer;
class QLocalSocket;

namespace zel {

class LocalLinkServer : public QObject, public LinkServer {
  Q_OBJECT
 public:
  explicit LocalLinkServer(ServerConversation& conversation, QObject* parent = nullptr);
  ~LocalLinkServer() override;

  Outcome<RegisterError> Register(const std::string& service) override;
  const std::string& SocketPath() const { return socketPath_; }

  // For the end of the program, once its event loop has stopped: serves the transactions that
  // have already arrived (a request sent right after "Close" still gets its answer) and waits
  // up to flushTimeoutMs for the answers to leave.
  void ServeWhatHasArrived(int flushTimeoutMs);

 private:
  struct Connection;
  using ConnectionPtr = std::shared_ptr<Connection>;
  struct Pending {
    ConnectionPtr connection;
    MessageReader::Event event;
  };

  void Accept();
  void ReadFrom(const ConnectionPtr& connection);
  void Drop(const ConnectionPtr& connection);
  void Drain();
  void Serve(Connection& connection, const LinkMessage& message);
  void Answer(Connection& connection, MessageKind kind, uint32_t id, std::string text = {});
  void Send(Connection& connection, const LinkMessage& message);
  void NotifyAdviseLinks();

  ServerConversation& conversation_;
  QLocalServer* server_;
  ServiceLock lock_;
  std::string socketPath_;
  std::vector<ConnectionPtr> connections_;
  std::deque<Pending> queue_;  // transactions in order of arrival, over all connections
  bool serving_ = false;
};

}  // namespace zel
