#pragma once
// A driver of its own for the load and speed programs: a copy of the built ZELdrv in a fresh
// folder, with its own ZELdrv.ini and its own link directory, so it never meets another driver,
// the build's configuration or the machine's serial ports.

#include <sys/types.h>

#include <string>

#include "bench/support/ChildProcess.h"

namespace zel::bench {

struct DriverSetup {
  std::string program;     // the built ZELdrv
  std::string portNumber;  // empty: a device path that does not exist
  std::string latencyPeriod = "Immediately answer";
};

class PrivateDriver {
 public:
  explicit PrivateDriver(DriverSetup setup) : setup_(std::move(setup)) {}
  ~PrivateDriver();  // kills a driver still running and removes the folder
  PrivateDriver(const PrivateDriver&) = delete;
  PrivateDriver& operator=(const PrivateDriver&) = delete;

  // Makes the folder, copies the program, writes its configuration. Once per object.
  bool Install(std::string& error);
  // Starts the driver (offscreen, standard output and error into LogPath()). It dies with us.
  bool Launch(std::string& error);
  // Waits until the socket accepts a connection; false when the driver ended or time ran out.
  bool WaitUntilServing(int timeoutMs, std::string& error);
  bool Start(int timeoutMs, std::string& error) {
    return (!installed_ ? Install(error) : true) && Launch(error) &&
           WaitUntilServing(timeoutMs, error);
  }

  // Executes "Close" and waits for the driver to end: its exit status, or -1 when it did not
  // end in time (it is killed then) or did not end normally.
  int Close(int timeoutMs);
  void Kill() { process_.Kill(); }
  // Whether the process still runs; reaps it when it has ended.
  bool Running() { return process_.Running(); }
  // Exit status once ended by itself: 0..255, or -1 when killed by a signal or still running.
  int ExitStatus() const { return process_.ExitStatus(); }

  pid_t Pid() const { return process_.Pid(); }
  std::string Directory() const { return directory_; }
  std::string SocketPath() const { return directory_ + "/run/ZELdrv"; }
  std::string LogPath() const { return directory_ + "/driver.log"; }
  std::string LogTail(std::size_t bytes = 2000) const;

  // A "VmHWM"/"VmRSS" figure of /proc/PID/status in kB, or -1.
  long StatusKb(const char* field) const;
  // Context switches of all its threads so far (voluntary and not), or -1.
  long ContextSwitches() const;

 private:
  DriverSetup setup_;
  std::string directory_;
  bool installed_ = false;
  ChildProcess process_;
};

// SIGINT, SIGTERM and SIGHUP only set a flag, so that waits end and the driver and its folder
// are cleaned up; SIGPIPE is ignored (a closed output pipe must not kill us mid-run).
void CatchStopSignals();
bool StopRequested();

// Raises this process's soft descriptor limit to its hard limit (children inherit it); the new
// soft limit.
long RaiseDescriptorLimit();

}  // namespace zel::bench
