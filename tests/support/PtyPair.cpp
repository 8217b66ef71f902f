#include "tests/support/PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zel::test {

PtyPair::PtyPair() {
  const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  char name[128] = {};
  if (fd >= 0 && ::grantpt(fd) == 0 && ::unlockpt(fd) == 0 && ::ptsname_r(fd, name, 128) == 0) {
    master_ = fd;
    slavePath_ = name;
    return;
  }
  error_ = std::string("pseudo-terminal: ") + std::strerror(errno);
  if (fd >= 0) ::close(fd);
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

bool PtyPair::Send(const std::vector<uint8_t>& bytes) {
  pollfd writable{master_, POLLOUT, 0};
  for (size_t sent = 0; sent < bytes.size();) {
    if (::poll(&writable, 1, 2000) <= 0) return false;
    const ssize_t n = ::write(master_, bytes.data() + sent, bytes.size() - sent);
    if (n < 0 && errno != EAGAIN) return false;
    sent += size_t(std::max<ssize_t>(n, 0));
  }
  return true;
}

std::vector<uint8_t> PtyPair::Receive(size_t count, int timeoutMs) {
  std::vector<uint8_t> bytes(count);
  size_t got = 0;
  for (pollfd readable{master_, POLLIN, 0}; got<count&& ::poll(&readable, 1, timeoutMs)> 0;) {
    const ssize_t n = ::read(master_, bytes.data() + got, count - got);
    if (n == 0 || (n < 0 && errno != EAGAIN)) break;
    got += size_t(std::max<ssize_t>(n, 0));
  }
  return {bytes.begin(), bytes.begin() + got};
}

}  // namespace zel::test
