#include "common/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace zel {

namespace {

std::string DirectoryOf(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool SyncFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  // Some file systems report deferred write errors only at close.
  const bool closed = ::close(fd) == 0 || errno == EINTR;
  return synced && closed;
}

// Makes the new name survive a crash. A directory that cannot be opened for reading, or a file
// system that cannot sync directories (EINVAL), leaves the rename to the file system's own
// schedule; that is no reason to call the store failed.
bool SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;
  const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
  ::close(fd);
  return synced;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& temporary, const std::string& target) {
  // rename() ignores the target's own permissions; a user who write-protected the file means it
  // to stay as it is.
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
    return false;
  }
  if (!SyncFile(temporary)) return false;
  if (std::rename(temporary.c_str(), target.c_str()) != 0) return false;
  return SyncDirectory(DirectoryOf(target));
}

bool MakeFoldersFor(const std::string& path) {
  const std::string folder = DirectoryOf(path);
  struct stat found {};
  if (::stat(folder.c_str(), &found) != 0) {
    // From the top down; a step that exists already, as a folder or not, shows at the next one.
    for (auto slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
      if (::mkdir(folder.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) return false;
      if (slash == std::string::npos) break;
    }
    if (::stat(folder.c_str(), &found) != 0) return false;
  }
  if (S_ISDIR(found.st_mode)) return true;
  errno = ENOTDIR;
  return false;
}

}  // namespace zel
