#pragma once
// The link client over a local (Unix domain) socket. Blocking calls, bounded by their time-outs.

#include <QLocalSocket>
#include <deque>
#include <map>
#include <set>

#include "ddelink/LinkClient.h"
#include "ddelink/LinkWire.h"

namespace zel {

class LocalLinkClient : public LinkClient {
 public:
  LocalLinkClient() = default;
  ~LocalLinkClient() override;

  bool Connect(const std::string& service, const std::string& topic) override;
  void Disconnect() override;
  bool IsConnected() const override;
  bool Execute(const std::string& text) override;
  bool Poke(const std::string& item, const std::string& text, int timeoutMs) override;
  std::optional<std::string> Request(const std::string& item, int timeoutMs) override;
  bool StartAdvise(const std::string& item, int timeoutMs) override;
  bool WaitForNotice(int timeoutMs) override;
  const std::string& LastError() const override { return error_; }

  // How long Connect waits for the driver to accept the socket and the topic.
  static constexpr int ConnectTimeoutMs = 5000;

 private:
  // Sends under the next id, which it returns.
  uint32_t Send(LinkMessage message);
  std::optional<LinkMessage> AwaitAnswer(uint32_t id, int timeoutMs);
  // Takes in what the socket holds; false when the stream broke.
  bool ReadAvailable();
  bool Fail(std::string error);

  QLocalSocket socket_;
  MessageReader reader_;
  uint32_t nextId_ = 1;
  std::set<uint32_t> awaited_;
  std::map<uint32_t, LinkMessage> answers_;
  std::deque<std::string> notices_;
  std::string error_;
};

}  // namespace zel
