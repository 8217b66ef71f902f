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
  } else {
    error_ = std::string("pseudo-terminal: ") + std::strerror(errno);
    if (fd >= 0) ::close(fd);
  }
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

bool PtyPair::Send(const std::vector<uint8_t>& bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = ::write(master_, bytes.data() + sent, bytes.size() - sent);
    pollfd writable{master_, POLLOUT, 0};
    if (n > 0)
      sent += static_cast<size_t>(n);
    else if ((n < 0 && errno != EAGAIN && errno != EINTR) || ::poll(&writable, 1, 2000) <= 0)
      return false;
  }
  return true;
}

std::vector<uint8_t> PtyPair::Receive(size_t count, int timeoutMs) {
  std::vector<uint8_t> bytes;
  uint8_t chunk[4096];
  for (pollfd readable{master_, POLLIN, 0};
       bytes.size() < count && ::poll(&readable, 1, timeoutMs) > 0;) {
    const ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
    if (n > 0)
      bytes.insert(bytes.end(), chunk, chunk + n);
    else if (n == 0 || (errno != EAGAIN && errno != EINTR))
      break;
  }
  return bytes;
}

}  // namespace zel::test
