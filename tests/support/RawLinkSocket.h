#pragma once
// A link client at the byte level, for what a well-behaved client never does: malformed frames,
// half-closing, leaving early.

#include <string>
#include <vector>

#include "ddelink/LinkWire.h"

namespace zel {

class RawLinkSocket {
 public:
  RawLinkSocket() = default;
  ~RawLinkSocket();
  RawLinkSocket(const RawLinkSocket&) = delete;
  RawLinkSocket& operator=(const RawLinkSocket&) = delete;

  bool Connect(const std::string& socketPath);
  bool SendBytes(const std::string& bytes);
  bool Send(const LinkMessage& message) { return SendBytes(EncodeMessage(message)); }
  void ShutdownWrite();
  void Close();

  // Reads answers until `count` messages are in, the driver closes, or timeoutMs pass.
  std::vector<LinkMessage> Receive(std::size_t count, int timeoutMs);
  // Whether the driver closed its end (after reading everything it sent).
  bool ClosedByPeer(int timeoutMs);

 private:
  int fd_ = -1;
  MessageReader reader_;
  bool peerClosed_ = false;
};

}  // namespace zel
