#pragma once
// Runs the built programs for end-to-end tests, each test in a private link directory.

#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

namespace zel {

// A private link directory, exported as XDG_RUNTIME_DIR to this process and its children.
class PrivateLinkDirectory {
 public:
  PrivateLinkDirectory();
  ~PrivateLinkDirectory();
  std::string Path() const;
  std::string SocketPath(const std::string& service) const;

 private:
  QTemporaryDir directory_;
  QByteArray previous_;
  bool hadPrevious_;
};

// The path of a program built into build/bin.
std::string BuiltProgram(const std::string& name);

// Copies the built driver to `path` (its own name decides its service, its folder where it looks
// for "ZELdrv.ini"). False when the copy failed.
bool CopyDriverTo(const std::string& path);
// Writes "ZELdrv.ini" into `directory`: the nine lines with CR LF endings.
bool WriteDriverConfiguration(const std::string& directory, const std::string& portNumber,
                              const std::string& latencyPeriod = "Approximately 0.25 second",
                              const std::string& transferRate = "9600 baud");

// A copy of the driver in a folder of its own, with its own "ZELdrv.ini": tests never touch the
// machine's serial ports or the build's configuration.
class DriverInstallation {
 public:
  // programName: the copy's file name, which decides its service.
  explicit DriverInstallation(const std::string& portNumber = "/dev/zel-test-absent-port",
                              const std::string& latencyPeriod = "Approximately 0.25 second",
                              const std::string& programName = "ZELdrv");
  bool Ok() const { return ok_; }
  std::string Program() const;
  std::string Directory() const { return directory_.path().toStdString(); }

 private:
  QTemporaryDir directory_;
  std::string programName_;
  bool ok_ = false;
};

// A driver process, started from `program` (a copy under another name serves another service).
class DriverProcess {
 public:
  explicit DriverProcess(const std::string& program);
  ~DriverProcess();

  // Starts and waits until the service's socket accepts connections. False on failure or exit.
  bool Start(const PrivateLinkDirectory& links, const std::string& service = "ZELdrv");
  // Only starts the process.
  bool Launch(const PrivateLinkDirectory& links);
  // Waits for the process to end by itself; its exit code, or -1 when it did not end in time.
  int WaitForExit(int timeoutMs);
  void Kill();  // SIGKILL: leaves its socket file behind, as a crash does
  // All the driver wrote to standard error so far.
  std::string StandardError();
  QProcess& Process() { return process_; }

 private:
  std::string program_;
  QProcess process_;
  std::string standardError_;
};

struct ProgramResult {
  int exitCode = -1;  // -1: did not end in time or crashed
  std::string out;
  std::string err;
};

// Runs zelctl with these arguments and standard input, waiting at most timeoutMs.
ProgramResult RunZelctl(const std::vector<std::string>& arguments, const std::string& input = {},
                        int timeoutMs = 30000);

}  // namespace zel
