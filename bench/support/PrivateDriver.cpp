#include "bench/support/PrivateDriver.h"

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/support/LinkCall.h"
#include "common/Names.h"

namespace zel::bench {

namespace {

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

bool CopyProgram(const std::string& from, const std::string& to, std::string& error) {
  std::ifstream in(from, std::ios::binary);
  if (!in) {
    error = SystemError("cannot read " + from);
    return false;
  }
  std::ofstream out(to, std::ios::binary);
  out << in.rdbuf();
  out.close();
  if (!out || chmod(to.c_str(), 0700) != 0) {
    error = SystemError("cannot copy the driver to " + to);
    return false;
  }
  return true;
}

long StatusField(const std::string& path, const char* field) {
  std::ifstream status(path);
  std::string line;
  const std::string prefix = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(prefix, 0) == 0) return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
  }
  return -1;
}

volatile sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

}  // namespace

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() { return stopRequested != 0; }

long RaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return -1;
  limit.rlim_cur = limit.rlim_max;
  setrlimit(RLIMIT_NOFILE, &limit);
  getrlimit(RLIMIT_NOFILE, &limit);
  return limit.rlim_cur == RLIM_INFINITY ? -1 : static_cast<long>(limit.rlim_cur);
}

PrivateDriver::~PrivateDriver() {
  process_.Kill();
  if (!directory_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }
}

bool PrivateDriver::Install(std::string& error) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zelbench-XXXXXX";
  if (!mkdtemp(pattern.data())) {
    error = SystemError("cannot make a folder " + pattern);
    return false;
  }
  directory_ = pattern;
  if (mkdir((directory_ + "/bin").c_str(), 0700) != 0 ||
      mkdir((directory_ + "/run").c_str(), 0700) != 0) {
    error = SystemError("cannot make folders in " + directory_);
    return false;
  }
  if (!CopyProgram(setup_.program, directory_ + "/bin/" + DriverService, error)) return false;
  const std::string port =
      setup_.portNumber.empty() ? directory_ + "/no-such-port" : setup_.portNumber;
  std::ofstream ini(directory_ + "/bin/ZELdrv.ini", std::ios::binary);
  ini << "PortNumber=" << port << "\r\nTransferRate=9600 baud\r\nStopBits=1 bit\r\n"
      << "Paritet=None\r\nLatencyPeriod=" << setup_.latencyPeriod << "\r\n"
      << "DTRControl=HandShake\r\nRTSControl=HandShake\r\n"
      << "WriteTimeOutMultiplier=0\r\nWriteTimeOutConstant=0\r\n";
  ini.close();
  if (!ini) {
    error = SystemError("cannot write the driver's configuration in " + directory_);
    return false;
  }
  installed_ = true;
  return true;
}

bool PrivateDriver::Launch(std::string& error) {
  return process_.Start({directory_ + "/bin/" + DriverService},
                        {"XDG_RUNTIME_DIR=" + directory_ + "/run", "QT_QPA_PLATFORM=offscreen"},
                        LogPath(), false, error);
}

bool PrivateDriver::WaitUntilServing(int timeoutMs, std::string& error) {
  const double deadline = NowMs() + timeoutMs;
  for (;;) {
    const int fd = ConnectLocal(SocketPath(), false);
    if (fd >= 0) {
      close(fd);
      return true;
    }
    if (!Running()) {
      error = "the driver ended at its start (status " + std::to_string(ExitStatus()) +
              "); its output:\n" + LogTail();
      return false;
    }
    if (NowMs() > deadline || StopRequested()) {
      error = "the driver did not serve " + SocketPath() + " within " + std::to_string(timeoutMs) +
              " ms; its output:\n" + LogTail();
      return false;
    }
    usleep(1000);
  }
}

int PrivateDriver::Close(int timeoutMs) {
  if (!Running()) return ExitStatus();
  {
    LinkCall call;
    std::string ignored;
    if (call.Open(SocketPath(), ignored) && call.Converse(ignored))
      call.Send(MakeMessage(MessageKind::Execute, 2, CloseCommand), ignored);
  }
  // A signal that no one sends: only waits, then kills.
  return process_.Stop(0, timeoutMs);
}

std::string PrivateDriver::LogTail(std::size_t bytes) const {
  std::ifstream log(LogPath(), std::ios::binary);
  std::stringstream text;
  text << log.rdbuf();
  const std::string all = text.str();
  return all.size() > bytes ? "..." + all.substr(all.size() - bytes) : all;
}

long PrivateDriver::StatusKb(const char* field) const {
  if (Pid() <= 0) return -1;
  return StatusField("/proc/" + std::to_string(Pid()) + "/status", field);
}

long PrivateDriver::ContextSwitches() const {
  if (Pid() <= 0) return -1;
  const std::string tasks = "/proc/" + std::to_string(Pid()) + "/task";
  DIR* folder = opendir(tasks.c_str());
  if (!folder) return -1;
  long sum = 0;
  while (const dirent* entry = readdir(folder)) {
    if (entry->d_name[0] == '.') continue;
    const std::string status = tasks + "/" + entry->d_name + "/status";
    for (const char* field : {"voluntary_ctxt_switches", "nonvoluntary_ctxt_switches"}) {
      const long count = StatusField(status, field);
      if (count > 0) sum += count;
    }
  }
  closedir(folder);
  return sum;
}

}  // namespace zel::bench
