#pragma once
// Runs the built programs for end-to-end tests, each test in a private link directory.

#include <QProcess>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "common/Names.h"

namespace zel {

// A private link directory, exported as XDG_RUNTIME_DIR to this process and its children.
class PrivateLinkDirectory {
 public:
  PrivateLinkDirectory() { qputenv("XDG_RUNTIME_DIR", directory_.path().toLocal8Bit()); }
  ~PrivateLinkDirectory() { previous_.isNull() ? qunsetenv(Name) : qputenv(Name, previous_); }
  std::string Path() const { return directory_.path().toStdString(); }
  std::string SocketPath(const std::string& service) const { return Path() + "/" + service; }

 private:
  static constexpr char Name[] = "XDG_RUNTIME_DIR";
  QByteArray previous_ = qEnvironmentVariableIsSet(Name) ? qgetenv(Name) : QByteArray();
  QTemporaryDir directory_;
};

// The path of a program built into build/bin.
inline std::string BuiltProgram(const std::string& name) { return ZEL_BIN_DIR "/" + name; }

// Writes "ZELdrv.ini" into `directory`: the nine lines with CR LF endings, 9600 baud.
bool WriteDriverConfiguration(const std::string& directory, const std::string& portNumber,
                              const std::string& latencyPeriod = "Approximately 0.25 second");

// A copy of the driver in a folder of its own, with its own "ZELdrv.ini": tests never touch the
// machine's serial ports or the build's configuration. Its file name decides its service.
class DriverInstallation {
 public:
  explicit DriverInstallation(const std::string& portNumber = "/dev/zel-test-absent-port",
                              const std::string& latencyPeriod = "Approximately 0.25 second");
  std::string Program() const { return directory_.path().toStdString() + "/" + DriverService; }

 private:
  QTemporaryDir directory_;
};

class DriverProcess {
 public:
  explicit DriverProcess(const std::string& program) : program_(program) {}
  ~DriverProcess() { Kill(); }

  // Starts and waits until the service's socket accepts connections. False on failure or exit.
  bool Start(const PrivateLinkDirectory& links, const std::string& service = DriverService);
  void Kill();                  // SIGKILL: leaves its socket file behind, as a crash does
  std::string StandardError();  // all the driver wrote there so far

 private:
  bool Launch(const PrivateLinkDirectory& links);

  std::string program_, standardError_;
  QProcess process_;
};

struct ProgramResult {
  int exitCode = -1;  // -1: did not end in time or crashed
  std::string out, err;
};

// Runs zelctl with these arguments and standard input, waiting at most timeoutMs.
ProgramResult RunZelctl(const std::vector<std::string>& arguments, const std::string& input = {},
                        int timeoutMs = 30000);

}  // namespace zel
