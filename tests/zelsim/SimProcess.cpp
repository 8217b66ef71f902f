#include "SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace zel::sim::test {

namespace {

constexpr int StartTimeoutMs = 5000;
constexpr int EndTimeoutMs = 5000;

}  // namespace

SimProcess::SimProcess(const std::vector<std::string>& arguments) {
  char pattern[] = "/tmp/zelsim-test-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return;
  directory_ = pattern;

  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
  const std::string errorFile = directory_ + "/stderr.txt";
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);

  const std::string program = std::string(ZEL_BIN_DIR) + "/zelsim";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const int spawned =
      ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  stdout_ = pipeFds[0];
  if (spawned != 0) {
    pid_ = -1;
    return;
  }

  // The path ends with the first line break; read byte by byte so nothing after it is taken.
  const auto deadline = Clock::now() + std::chrono::milliseconds(StartTimeoutMs);
  std::string line;
  while (Clock::now() < deadline) {
    pollfd waiter{stdout_, POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (::poll(&waiter, 1, static_cast<int>(std::max<int64_t>(0, left.count()))) <= 0) break;
    char c = 0;
    if (::read(stdout_, &c, 1) != 1) break;
    if (c == '\n') {
      devicePath_ = line;
      break;
    }
    line.push_back(c);
  }
  output_ = devicePath_.empty() ? line : devicePath_ + "\n";
}

SimProcess::~SimProcess() {
  if (pid_ > 0) Stop(SIGKILL);
  if (stdout_ >= 0) ::close(stdout_);
  if (!directory_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
}

std::string SimProcess::ErrorText() const {
  std::ifstream in(directory_ + "/stderr.txt");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string SimProcess::OutputText() {
  if (stdout_ >= 0) {
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(stdout_, buffer, sizeof buffer)) > 0) output_.append(buffer, n);
  }
  return output_;
}

int SimProcess::Stop(int signal) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, signal);
  return Wait();
}

int SimProcess::Wait() {
  if (pid_ <= 0) return -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(EndTimeoutMs);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      return status;
    }
    if (done < 0 && errno != EINTR) {
      pid_ = -1;
      return -1;
    }
    if (Clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return -1;
}

DriverSide::DriverSide(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0) {
    ::close(fd);
    return;
  }
  ::cfmakeraw(&settings);
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
    ::close(fd);
    return;
  }
  // As the driver's port does on opening: whatever came before belongs to nobody.
  ::tcflush(fd, TCIFLUSH);
  fd_ = fd;
}

DriverSide::~DriverSide() { Close(); }

void DriverSide::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Clock::time_point DriverSide::Write(const std::vector<uint8_t>& bytes) {
  const Clock::time_point at = Clock::now();
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) break;
    pollfd waiter{fd_, POLLOUT, 0};
    if (::poll(&waiter, 1, 2000) <= 0) break;
  }
  return at;
}

std::vector<Arrival> DriverSide::Read(size_t count, int timeoutMs) {
  std::vector<Arrival> arrivals;
  size_t total = 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (total < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd waiter{fd_, POLLIN, 0};
    if (::poll(&waiter, 1, static_cast<int>(left.count())) <= 0) break;
    uint8_t buffer[512];
    const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - total));
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) break;
    arrivals.push_back({Clock::now(), std::vector<uint8_t>(buffer, buffer + n)});
    total += static_cast<size_t>(n);
  }
  return arrivals;
}

std::vector<uint8_t> Joined(const std::vector<Arrival>& arrivals) {
  std::vector<uint8_t> bytes;
  for (const Arrival& arrival : arrivals) {
    bytes.insert(bytes.end(), arrival.bytes.begin(), arrival.bytes.end());
  }
  return bytes;
}

int64_t MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

}  // namespace zel::sim::test
