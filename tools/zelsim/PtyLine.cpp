#include "tools/zelsim/PtyLine.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zel::sim {

namespace {

std::string SystemError(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

bool MakeRaw(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) return false;
  ::cfmakeraw(&settings);
  return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

}  // namespace

PtyLine::~PtyLine() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

bool PtyLine::Open(std::string& error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) {
    error = SystemError("posix_openpt");
    return false;
  }
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    error = SystemError("grantpt/unlockpt");
    return false;
  }
  const char* name = ::ptsname(master_);
  if (name == nullptr) {
    error = SystemError("ptsname");
    return false;
  }
  slavePath_ = name;
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  if (::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
    error = SystemError("fcntl");
    return false;
  }
  // Only held, never read: the driver's own descriptor takes every byte meant for it.
  slave_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) {
    error = SystemError(("open " + slavePath_).c_str());
    return false;
  }
  if (!MakeRaw(slave_) || !MakeRaw(master_)) {
    error = SystemError("raw mode");
    return false;
  }
#ifdef TIOCPKT
  // Packet mode reports the driver's input flush, which is how its opening of the line shows.
  int on = 1;
  packetMode_ = ::ioctl(master_, TIOCPKT, &on) == 0;
#endif
  return true;
}

PtyLine::ReadResult PtyLine::Read(std::vector<uint8_t>& bytes) {
  bytes.clear();
  uint8_t buffer[4097];
  const ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n < 0) return errno == EAGAIN || errno == EINTR ? ReadResult::Nothing : ReadResult::Failed;
  if (n == 0) return ReadResult::Nothing;
  if (!packetMode_) {
    bytes.assign(buffer, buffer + n);
    return ReadResult::Data;
  }
#ifdef TIOCPKT
  if (buffer[0] == TIOCPKT_DATA) {
    bytes.assign(buffer + 1, buffer + n);
    return bytes.empty() ? ReadResult::Nothing : ReadResult::Data;
  }
  if ((buffer[0] & TIOCPKT_FLUSHREAD) != 0) return ReadResult::Opened;
#endif
  return ReadResult::Nothing;
}

ssize_t PtyLine::Write(const uint8_t* data, size_t size) {
  const ssize_t n = ::write(master_, data, size);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  return n;
}

bool CreateLink(const std::string& link, const std::string& target, std::string& error) {
  struct stat existing {};
  if (::lstat(link.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
    error = link + " exists and is not a symlink; not replacing it";
    return false;
  }
  // Made under a temporary name and renamed, so the path never points nowhere.
  const std::string temporary = link + ".zelsim-" + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0) {
    error = SystemError(("symlink " + link).c_str());
    return false;
  }
  if (::rename(temporary.c_str(), link.c_str()) != 0) {
    error = SystemError(("rename to " + link).c_str());
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

void RemoveLink(const std::string& link, const std::string& target) {
  char pointsTo[PATH_MAX + 1];
  const ssize_t n = ::readlink(link.c_str(), pointsTo, PATH_MAX);
  if (n < 0) return;
  // Someone else's link by now: leave it.
  if (std::string(pointsTo, static_cast<size_t>(n)) != target) return;
  ::unlink(link.c_str());
}

}  // namespace zel::sim
