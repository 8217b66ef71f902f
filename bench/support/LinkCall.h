#pragma once
// Blocking link calls for the load and speed programs: plain sockets, every wait bounded.

#include <memory>
#include <string>

#include "ddelink/LinkWire.h"

namespace zel::bench {

// Connects to a Unix stream socket. Returns the descriptor, or -1 with errno set (EAGAIN: the
// listen backlog is full; ENOENT, ECONNREFUSED: nobody serves there yet).
int ConnectLocal(const std::string& path, bool nonblocking);

// Writes all of bytes to a blocking or non-blocking descriptor, waiting at most timeoutMs.
bool WriteAll(int fd, const std::string& bytes, int timeoutMs);

// One connection with its answers read as messages.
class LinkCall {
 public:
  LinkCall();
  ~LinkCall();
  LinkCall(const LinkCall&) = delete;
  LinkCall& operator=(const LinkCall&) = delete;

  bool Open(const std::string& socketPath, std::string& error);
  bool Send(const LinkMessage& message, std::string& error);
  // The next answer, waiting at most timeoutMs.
  bool Receive(LinkMessage& answer, int timeoutMs, std::string& error);
  // Sends and waits for the answer with the same id, which must be the next one.
  bool Transact(const LinkMessage& message, LinkMessage& answer, int timeoutMs, std::string& error);
  // Connects to the topic: Transact(C) that must be acknowledged.
  bool Converse(std::string& error);
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
  std::unique_ptr<MessageReader> reader_;
};

// "k", "n \"reason\"", "d \"text\"" ... for messages about unexpected answers.
std::string Describe(const LinkMessage& message);

// Milliseconds and microseconds on the monotonic clock.
double NowMs();
double NowUs();

}  // namespace zel::bench
