#include "bench/support/LinkCall.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/Names.h"

namespace zel::bench {

double NowMs() { return NowUs() / 1000.0; }

double NowUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

int ConnectLocal(const std::string& path, bool nonblocking) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int flags = SOCK_STREAM | SOCK_CLOEXEC | (nonblocking ? SOCK_NONBLOCK : 0);
  const int fd = socket(AF_UNIX, flags, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int reason = errno;
    close(fd);
    errno = reason;
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, const std::string& bytes, int timeoutMs) {
  const double deadline = NowMs() + timeoutMs;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t wrote = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
    if (wrote > 0) {
      at += static_cast<std::size_t>(wrote);
      continue;
    }
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0 && errno != EAGAIN) return false;
    const int left = static_cast<int>(deadline - NowMs());
    pollfd waiting{fd, POLLOUT, 0};
    if (left <= 0 || poll(&waiting, 1, left) <= 0) return false;
  }
  return true;
}

LinkCall::LinkCall() : reader_(std::make_unique<MessageReader>()) {}

LinkCall::~LinkCall() {
  if (fd_ >= 0) close(fd_);
}

bool LinkCall::Open(const std::string& socketPath, std::string& error) {
  fd_ = ConnectLocal(socketPath, false);
  if (fd_ < 0) error = "cannot connect to " + socketPath + ": " + std::strerror(errno);
  return fd_ >= 0;
}

bool LinkCall::Send(const LinkMessage& message, std::string& error) {
  if (WriteAll(fd_, EncodeMessage(message), 10000)) return true;
  error = std::string("cannot send: ") + std::strerror(errno);
  return false;
}

bool LinkCall::Receive(LinkMessage& answer, int timeoutMs, std::string& error) {
  const double deadline = NowMs() + timeoutMs;
  while (!reader_->HasEvent()) {
    const int left = static_cast<int>(deadline - NowMs());
    pollfd waiting{fd_, POLLIN, 0};
    const int ready = left > 0 ? poll(&waiting, 1, left) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      error = "no answer within " + std::to_string(timeoutMs) + " ms";
      return false;
    }
    char chunk[16384];
    const ssize_t got = read(fd_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      error = got == 0 ? "the driver closed the connection" : std::strerror(errno);
      return false;
    }
    reader_->Feed(std::string_view(chunk, static_cast<std::size_t>(got)));
  }
  MessageReader::Event event = reader_->Next();
  if (event.type != MessageReader::EventType::Message) {
    error = "unreadable answer: " + event.reason;
    return false;
  }
  answer = std::move(event.message);
  return true;
}

bool LinkCall::Transact(const LinkMessage& message, LinkMessage& answer, int timeoutMs,
                        std::string& error) {
  if (!Send(message, error) || !Receive(answer, timeoutMs, error)) return false;
  if (answer.id == message.id) return true;
  error = "answer " + Describe(answer) + " carries id " + std::to_string(answer.id) +
          " instead of " + std::to_string(message.id);
  return false;
}

bool LinkCall::Converse(std::string& error) {
  LinkMessage answer;
  if (!Transact(MakeMessage(MessageKind::Connect, 1, DriverTopic), answer, 10000, error))
    return false;
  if (answer.kind == MessageKind::Ack) return true;
  error = "connect answered " + Describe(answer);
  return false;
}

namespace {

std::string Hex(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", byte);
  return text;
}

}  // namespace

std::string Describe(const LinkMessage& message) {
  std::string text(1, static_cast<char>(message.kind));
  if (message.kind == MessageKind::Nak || message.kind == MessageKind::Data) {
    text += " \"";
    for (const char c : message.text.substr(0, 40)) {
      if (c == '\r')
        text += "\\r";
      else if (c == '\n')
        text += "\\n";
      else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
        text += Hex(static_cast<unsigned char>(c));
      else
        text += c;
    }
    text += message.text.size() > 40 ? "...\"" : "\"";
  }
  return text;
}

}  // namespace zel::bench
