#include "common/posix/StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zel {

namespace {

int stopPipeWriteEnd = -1;

void RequestStop(int) {
  const int saved = errno;
  const char byte = 1;
  // Non-blocking: once a request is pending, further ones add nothing.
  (void)!write(stopPipeWriteEnd, &byte, 1);
  errno = saved;
}

}  // namespace

int WatchStopSignals(std::string& error) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = std::string("cannot watch for stop signals: ") + std::strerror(errno);
    return -1;
  }
  stopPipeWriteEnd = ends[1];
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int stop : {SIGTERM, SIGINT, SIGHUP}) sigaction(stop, &action, nullptr);
  return ends[0];
}

}  // namespace zel
