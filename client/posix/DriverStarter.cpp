#include "client/DriverStarter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/Names.h"

namespace zel {

namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string OwnFolder() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  const std::string_view own(path, static_cast<size_t>(length));
  const size_t slash = own.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(own.substr(0, slash));
}

// The first executable `name` on PATH, as a shell finds it; an empty entry is the current folder.
std::string SearchPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  for (std::string_view rest = path ? path : ""; !rest.empty();) {
    const size_t colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    const std::string candidate = (folder.empty() ? "." : folder) + '/' + name;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return {};
}

class PosixDriverStarter : public DriverStarter {
 public:
  std::string Start(const std::string& program, const std::string& argument) override {
    const std::string path = program.find('/') == std::string::npos ? SearchPath(program) : program;
    if (path.empty() || !IsExecutableFile(path)) return "cannot start " + program + ": not found";
    // Between fork and exec only async-signal-safe calls: everything is prepared here.
    char* const argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(argument.c_str()),
                          nullptr};
    // The grandchild reports a failed exec through the pipe; a successful one closes it.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return "cannot start " + program + ": " + strerror(errno);
    const pid_t child = fork();
    if (child < 0) {
      const int error = errno;
      close(report[0]);
      close(report[1]);
      return "cannot start " + program + ": " + strerror(error);
    }
    if (child == 0) {
      // Its own session, and re-parented at once: it outlives the client and leaves no zombie.
      close(report[0]);
      setsid();
      const pid_t grandchild = fork();
      if (grandchild < 0) {
        const int error = errno;
        (void)!write(report[1], &error, sizeof error);
        _exit(1);
      }
      if (grandchild > 0) _exit(0);
      execv(path.c_str(), argv);
      const int error = errno;
      (void)!write(report[1], &error, sizeof error);
      _exit(127);
    }
    close(report[1]);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof error))
      return "cannot start " + program + ": " + strerror(error);
    return {};
  }

  std::string FindDriver() const override {
    const std::string folder = OwnFolder();
    if (!folder.empty() && IsExecutableFile(folder + '/' + DriverService))
      return folder + '/' + DriverService;
    return SearchPath(DriverService);
  }

  // No portable way asks a started program to show itself minimised.
  bool StartsMinimized() const override { return false; }
};

}  // namespace

std::unique_ptr<DriverStarter> MakePlatformDriverStarter() {
  return std::make_unique<PosixDriverStarter>();
}

}  // namespace zel
