#pragma once
// Where a service's socket lives and who may use it. Platform file: posix_endpoint.cpp.

#include <cstdint>
#include <string>

#include "ddelink/LinkServer.h"

namespace zel {

// The private directory that holds the services' sockets: $XDG_RUNTIME_DIR when set, else
// /tmp/zel-<uid>, created with mode 0700. A /tmp directory that is not ours alone (other owner,
// group or world access, or not a directory) is refused. Empty with `error` set on failure.
std::string LinkDirectory(std::string& error);

std::string ServiceSocketPath(const std::string& directory, const std::string& service);

// Held by the one driver that serves a service, for its whole life; the system drops it when the
// process ends however it ends, so a killed driver never blocks its successor.
class ServiceLock {
 public:
  ServiceLock() = default;
  ServiceLock(const ServiceLock&) = delete;
  ServiceLock& operator=(const ServiceLock&) = delete;
  ~ServiceLock();

  // AlreadyServed when another process holds it.
  Outcome<LinkServer::RegisterError> Acquire(const std::string& socketPath);
  // Removes the lock file and lets go of it; a process killed before this leaves the file, which
  // its successor takes over.
  void Release();

 private:
  int fd_ = -1;
  std::string path_;
};

// A listening socket at `path` (a file left there is replaced), readable by our user only,
// non-blocking; -1 with `error` set when it cannot be made.
int ListenAt(const std::string& path, std::string& error);

// True when the process at the other end of a connected local socket runs as our user.
bool PeerIsOwner(intptr_t socketDescriptor);

}  // namespace zel
