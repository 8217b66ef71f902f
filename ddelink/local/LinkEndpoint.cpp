#include "ddelink/local/LinkEndpoint.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zel {

namespace {

std::string SystemError(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
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

Outcome<LinkServer::RegisterError> ServiceLock::Acquire(const std::string& socketPath) {
  using Error = LinkServer::RegisterError;
  using Result = Outcome<Error>;
  const std::string path = socketPath + ".lock";
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) return Result::Failure(Error::Failed, SystemError("cannot open " + path, errno));
  if (flock(fd_, LOCK_EX | LOCK_NB) == 0) return Result::Success();
  const int reason = errno;
  close(fd_);
  fd_ = -1;
  if (reason == EWOULDBLOCK) return Result::Failure(Error::AlreadyServed, path + " is held");
  return Result::Failure(Error::Failed, SystemError("cannot lock " + path, reason));
}

bool PeerIsOwner(intptr_t socketDescriptor) {
  struct ucred peer {};
  socklen_t size = sizeof peer;
  if (getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
    return false;
  return peer.uid == geteuid();
}

}  // namespace zel
