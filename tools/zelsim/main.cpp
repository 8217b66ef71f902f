// zelsim: the instruments' shared serial line on a pseudo-terminal, for running the driver
// without hardware.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/zelsim/LineSimulator.h"
#include "tools/zelsim/PtyLine.h"
#include "tools/zelsim/SimOptions.h"

using namespace zel;
using namespace zel::sim;

namespace {

using namespace zel::sim;

// Bytes waiting for room in the line; beyond this nobody is reading and more would only pile up.
constexpr size_t LargestBacklog = 1 << 20;

int signalPipe[2] = {-1, -1};

void OnSignal(int number) {
  const int saved = errno;
  const auto byte = static_cast<unsigned char>(number);
  [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

bool InstallSignals(std::string& error) {
  if (::pipe(signalPipe) != 0) {
    error = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  for (int fd : signalPipe) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int number : {SIGINT, SIGTERM, SIGHUP}) {
    if (::sigaction(number, &action, nullptr) != 0) {
      error = std::string("sigaction: ") + std::strerror(errno);
      return false;
    }
  }
  ::signal(SIGPIPE, SIG_IGN);
  return true;
}

class Clock {
 public:
  int64_t NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

class EventLog {
 public:
  ~EventLog() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool OpenFile(const std::string& path) {
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
  }
  void Write(int64_t atMs, const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%5lld.%03lld] ", static_cast<long long>(atMs / 1000),
                  static_cast<long long>(atMs % 1000));
    const std::string line = stamp + text + "\n";
    // One write per line, so lines from here never mix with other output on the same stream.
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, line.data(), line.size());
    if (file_ != nullptr) {
      std::fputs(line.c_str(), file_);
      std::fflush(file_);
    }
  }
  void Write(const std::vector<LogEntry>& entries) {
    for (const LogEntry& entry : entries) Write(entry.atMs, entry.text);
  }

 private:
  std::FILE* file_ = nullptr;
};

// Puts bytes on the line behind any that are still waiting for room; false when the line failed.
// When nobody reads, the backlog stops growing and what does not fit is lost, as on a real line.
bool Send(PtyLine& line, std::vector<uint8_t>& backlog, const std::vector<uint8_t>& bytes) {
  if (backlog.size() + bytes.size() <= LargestBacklog) {
    backlog.insert(backlog.end(), bytes.begin(), bytes.end());
  }
  if (backlog.empty()) return true;
  const ssize_t written = line.Write(backlog.data(), backlog.size());
  if (written < 0) return false;
  backlog.erase(backlog.begin(), backlog.begin() + written);
  return true;
}

int Run(const SimOptions& options) {
  EventLog log;
  if (!options.logPath.empty() && !log.OpenFile(options.logPath)) {
    std::fprintf(stderr, "zelsim: cannot write %s: %s\n", options.logPath.c_str(),
                 std::strerror(errno));
    return 1;
  }
  std::string error;
  if (!InstallSignals(error)) {
    std::fprintf(stderr, "zelsim: %s\n", error.c_str());
    return 1;
  }
  PtyLine line;
  if (!line.Open(error)) {
    std::fprintf(stderr, "zelsim: cannot set up the pseudo-terminal: %s\n", error.c_str());
    return 1;
  }
  if (!options.linkPath.empty() && !CreateLink(options.linkPath, line.SlavePath(), error)) {
    std::fprintf(stderr, "zelsim: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s\n", line.SlavePath().c_str());
  std::fflush(stdout);

  const Clock clock;
  SimConfig config = options.config;
  log.Write(clock.NowMs(), DescribeOptions(options, line.SlavePath()));
  if (config.replyOnce && config.onceAfter == OnceAfter::Open && !line.SeesOpenings()) {
    log.Write(clock.NowMs(),
              "cannot see the driver open the line here: --reply-once counts from start");
    config.onceAfter = OnceAfter::Start;
  }
  LineSimulator simulator(config);
  simulator.Start(clock.NowMs());

  std::vector<uint8_t> backlog;
  std::vector<uint8_t> bytes;
  int stopSignal = 0;
  int status = 0;
  while (stopSignal == 0) {
    log.Write(simulator.TakeLog());
    int timeoutMs = -1;
    if (const auto wake = simulator.NextWakeMs()) {
      timeoutMs = static_cast<int>(std::max<int64_t>(0, *wake - clock.NowMs()));
    }
    pollfd waiters[2] = {
        {line.MasterFd(), static_cast<short>(POLLIN | (backlog.empty() ? 0 : POLLOUT)), 0},
        {signalPipe[0], POLLIN, 0},
    };
    if (::poll(waiters, 2, timeoutMs) < 0) {
      if (errno == EINTR) continue;
      log.Write(clock.NowMs(), std::string("poll failed: ") + std::strerror(errno));
      status = 1;
      break;
    }
    if ((waiters[1].revents & POLLIN) != 0) {
      unsigned char number = 0;
      if (::read(signalPipe[0], &number, 1) == 1) stopSignal = number;
      break;
    }

    bool failed = false;
    if ((waiters[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      for (;;) {
        const PtyLine::ReadResult result = line.Read(bytes);
        if (result == PtyLine::ReadResult::Nothing) break;
        if (result == PtyLine::ReadResult::Failed) {
          failed = true;
          break;
        }
        if (result == PtyLine::ReadResult::Opened) {
          simulator.LineOpened(clock.NowMs());
          continue;
        }
        const std::vector<uint8_t> echo = simulator.DriverWrote(clock.NowMs(), bytes);
        // Logged before the bytes go: whoever reads them may look for their line at once.
        log.Write(simulator.TakeLog());
        if (!Send(line, backlog, echo)) {
          failed = true;
          break;
        }
      }
    }
    if (failed || (waiters[0].revents & POLLNVAL) != 0) {
      log.Write(clock.NowMs(), std::string("line failed: ") + std::strerror(errno));
      status = 1;
      break;
    }

    const int64_t now = clock.NowMs();
    simulator.Tick(now);
    const std::vector<Transmission> due = simulator.TakeDue(now);
    log.Write(simulator.TakeLog());
    for (const Transmission& sent : due) {
      if (!Send(line, backlog, sent.bytes)) {
        failed = true;
        break;
      }
    }
    if (failed || !Send(line, backlog, {})) {
      log.Write(clock.NowMs(), std::string("line failed: ") + std::strerror(errno));
      status = 1;
      break;
    }
  }
  log.Write(simulator.TakeLog());
  if (stopSignal != 0) log.Write(clock.NowMs(), std::string("ended by ") + ::strsignal(stopSignal));
  if (!options.linkPath.empty()) RemoveLink(options.linkPath, line.SlavePath());
  return status;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseSimOptions(arguments, error);
  if (!options) {
    std::fprintf(stderr, "zelsim: %s\n\n%s", error.c_str(), ZelsimUsage);
    return 2;
  }
  if (options->help) {
    std::fputs(ZelsimUsage, stdout);
    return 0;
  }
  return Run(*options);
}
