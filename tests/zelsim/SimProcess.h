#pragma once
// Runs the built zelsim program.

#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <string>
#include <vector>

namespace zel::sim::test {

// zelsim started with the given arguments; its standard error goes to a file in a fresh
// directory, which goes with the object. Needs a Qt application object.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& arguments);
  ~SimProcess() { Stop(SIGKILL); }

  // The first line zelsim printed: the device path. Empty if none came within 5 s.
  const std::string& DevicePath() const { return devicePath_; }
  // Everything zelsim has written to standard error so far.
  std::string ErrorText() const;
  // Everything zelsim has written to standard output, once it has ended.
  std::string OutputText() { return output_ += process_.readAllStandardOutput().toStdString(); }

  // Sends the signal (0: none, only wait) and waits up to 5 s for the end; the exit code, or -1
  // when zelsim did not end in time (it is then killed) or ended by a signal.
  int Stop(int signal);

 private:
  QTemporaryDir directory_;
  QProcess process_;
  std::string output_;
  std::string devicePath_;
};

}  // namespace zel::sim::test
