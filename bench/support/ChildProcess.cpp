#include "bench/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "bench/support/LinkCall.h"

extern char** environ;

namespace zel::bench {

bool ChildProcess::Start(const std::vector<std::string>& arguments,
                         const std::vector<std::string>& settings, const std::string& logPath,
                         bool captureOutput, std::string& error) {
  // Everything the child needs is made before fork: it only calls async-signal-safe functions.
  std::vector<std::string> environment = settings;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('=') + 1);
    bool replaced = false;
    for (const auto& setting : settings) replaced = replaced || setting.rfind(name, 0) == 0;
    if (!replaced) environment.push_back(text);
  }
  std::vector<char*> environmentPointers, argumentPointers;
  for (auto& entry : environment) environmentPointers.push_back(entry.data());
  environmentPointers.push_back(nullptr);
  std::vector<std::string> argumentCopies = arguments;
  for (auto& argument : argumentCopies) argumentPointers.push_back(argument.data());
  argumentPointers.push_back(nullptr);

  const int log = logPath == "-" ? fcntl(2, F_DUPFD_CLOEXEC, 3)
                                 : open(logPath.empty() ? "/dev/null" : logPath.c_str(),
                                        O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  int pipeEnds[2] = {-1, -1};
  if (log < 0 || (captureOutput && pipe2(pipeEnds, O_CLOEXEC) != 0)) {
    error = "cannot prepare the output of " + arguments[0] + ": " + std::strerror(errno);
    if (log >= 0) close(log);
    return false;
  }
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int nothing = open("/dev/null", O_RDONLY);
    dup2(nothing, 0);
    dup2(captureOutput ? pipeEnds[1] : log, 1);
    dup2(log, 2);
    execve(argumentPointers[0], argumentPointers.data(), environmentPointers.data());
    _exit(127);
  }
  close(log);
  if (captureOutput) close(pipeEnds[1]);
  if (child < 0) {
    error = "cannot start " + arguments[0] + ": " + std::strerror(errno);
    if (captureOutput) close(pipeEnds[0]);
    return false;
  }
  pid_ = child;
  output_ = pipeEnds[0];
  exitStatus_ = -1;
  pending_.clear();
  return true;
}

bool ChildProcess::ReadLine(std::string& line, int timeoutMs) {
  const double deadline = NowMs() + timeoutMs;
  for (;;) {
    const std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return true;
    }
    const int left = static_cast<int>(deadline - NowMs());
    pollfd waiting{output_, POLLIN, 0};
    if (output_ < 0 || left <= 0 || poll(&waiting, 1, left) <= 0) return false;
    char chunk[4096];
    const ssize_t got = read(output_, chunk, sizeof chunk);
    if (got <= 0) return false;
    pending_.append(chunk, static_cast<std::size_t>(got));
  }
}

bool ChildProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t ended = waitpid(pid_, &status, WNOHANG);
  if (ended == 0) return true;
  exitStatus_ = ended == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  pid_ = -1;
  if (output_ >= 0) close(output_);
  output_ = -1;
  return false;
}

int ChildProcess::Stop(int signal, int timeoutMs) {
  if (!Running()) return exitStatus_;
  kill(pid_, signal);
  const double deadline = NowMs() + timeoutMs;
  while (Running()) {
    if (NowMs() >= deadline) {
      kill(pid_, SIGKILL);
      int status = 0;
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      pid_ = -1;
      exitStatus_ = -1;
      if (output_ >= 0) close(output_);
      output_ = -1;
      return -1;
    }
    usleep(1000);
  }
  return exitStatus_;
}

}  // namespace zel::bench
