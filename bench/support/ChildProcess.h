#pragma once
// Programs started by the load and speed programs. Each dies with the program that started it
// (PR_SET_PDEATHSIG), so an interrupted run leaves nothing behind.

#include <sys/types.h>

#include <string>
#include <vector>

namespace zel::bench {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Kill(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts arguments[0] with `settings` ("NAME=value") over our environment. Standard input is
  // /dev/null; standard error goes to logPath (empty: /dev/null, "-": ours); standard output to
  // the same place, or to a pipe read by ReadLine when captureOutput is set.
  bool Start(const std::vector<std::string>& arguments, const std::vector<std::string>& settings,
             const std::string& logPath, bool captureOutput, std::string& error);
  // The next line of captured output without its end, waiting at most timeoutMs; false at the
  // end of the output or on time-out.
  bool ReadLine(std::string& line, int timeoutMs);
  // Sends signal and waits up to timeoutMs, then kills. Exit status, -1 if it did not exit.
  int Stop(int signal, int timeoutMs);
  void Kill() { Stop(9, 0); }
  // Whether it still runs; reaps it when it has ended.
  bool Running();
  int ExitStatus() const { return exitStatus_; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  int exitStatus_ = -1;
  std::string pending_;
};

}  // namespace zel::bench
