#include "ddelink/local/LinkEndpoint.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zel {

namespace {

std::string SystemError(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

bool IsStillAt(int fd, const std::string& path) {
  struct stat opened {
  }, named{};
  return fstat(fd, &opened) == 0 && stat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

std::string LinkDirectory(std::string& error) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return runtime;

  const std::string directory = "/tmp/zel-" + std::to_string(geteuid());
  if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
    error = SystemError("cannot create " + directory, errno);
    return {};
  }
  // lstat: a symlink planted by someone else must not redirect our sockets.
  struct stat info {};
  if (lstat(directory.c_str(), &info) != 0) {
    error = SystemError("cannot inspect " + directory, errno);
    return {};
  }
  if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid() || (info.st_mode & 077) != 0) {
    error = directory + " is not a private directory of this user";
    return {};
  }
  return directory;
}

std::string ServiceSocketPath(const std::string& directory, const std::string& service) {
  return directory + "/" + service;
}

ServiceLock::~ServiceLock() {
  if (fd_ >= 0) close(fd_);  // closing drops the lock
}

void ServiceLock::Release() {
  if (fd_ < 0) return;
  // Unlinked while still held: a successor waiting on this file finds it gone and starts over.
  unlink(path_.c_str());
  close(fd_);
  fd_ = -1;
}

Outcome<LinkServer::RegisterError> ServiceLock::Acquire(const std::string& socketPath) {
  using Error = LinkServer::RegisterError;
  using Result = Outcome<Error>;
  path_ = socketPath + ".lock";
  for (;;) {
    fd_ = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) return Result::Failure(Error::Failed, SystemError("cannot open " + path_, errno));
    const int locked = flock(fd_, LOCK_EX | LOCK_NB);
    const int reason = errno;
    if (locked == 0 && IsStillAt(fd_, path_)) return Result::Success();
    close(fd_);
    fd_ = -1;
    // Locked a file its holder had just removed on its way out: take the one there now.
    if (locked == 0) continue;
    if (reason == EWOULDBLOCK) return Result::Failure(Error::AlreadyServed, path_ + " is held");
    return Result::Failure(Error::Failed, SystemError("cannot lock " + path_, reason));
  }
}

int ListenAt(const std::string& path, std::string& error) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    error = "cannot listen on " + path + ": the path is too long for a socket";
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = SystemError("cannot listen on " + path, errno);
    return -1;
  }
  unlink(path.c_str());
  const bool listening =
      bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      chmod(path.c_str(), 0600) == 0 && listen(fd, SOMAXCONN) == 0;
  if (!listening) {
    error = SystemError("cannot listen on " + path, errno);
    unlink(path.c_str());
    close(fd);
    return -1;
  }
  return fd;
}

bool PeerIsOwner(intptr_t socketDescriptor) {
  struct ucred peer {};
  socklen_t size = sizeof peer;
  if (getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
    return false;
  return peer.uid == geteuid();
}

}  // namespace zel
