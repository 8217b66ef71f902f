#include "tests/support/RawLinkSocket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace zel {

RawLinkSocket::~RawLinkSocket() { Close(); }

bool RawLinkSocket::Connect(const std::string& socketPath) {
  Close();
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (fd_ < 0 || socketPath.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  return connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool RawLinkSocket::SendBytes(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void RawLinkSocket::ShutdownWrite() { shutdown(fd_, SHUT_WR); }

void RawLinkSocket::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

std::vector<LinkMessage> RawLinkSocket::Receive(std::size_t count, int timeoutMs) {
  std::vector<LinkMessage> messages;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (messages.size() < count) {
    while (reader_.HasEvent() && messages.size() < count) {
      auto event = reader_.Next();
      if (event.type == MessageReader::EventType::Message) messages.push_back(event.message);
    }
    if (messages.size() >= count || peerClosed_) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd watch{fd_, POLLIN, 0};
    if (poll(&watch, 1, static_cast<int>(left.count())) <= 0) break;
    char chunk[64 * 1024];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) {
      peerClosed_ = true;
      continue;
    }
    reader_.Feed(std::string_view(chunk, static_cast<std::size_t>(n)));
  }
  return messages;
}

bool RawLinkSocket::ClosedByPeer(int timeoutMs) {
  Receive(static_cast<std::size_t>(-1), timeoutMs);
  return peerClosed_;
}

}  // namespace zel
