#pragma once
// Runs the built zelsim program and talks to its line as the driver would.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace zel::sim::test {

using Clock = std::chrono::steady_clock;

// zelsim started with the given arguments; its standard error goes to a file in a fresh
// directory, which the process removes when it is destroyed.
class SimProcess {
 public:
  explicit SimProcess(const std::vector<std::string>& arguments);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The first line zelsim printed: the device path. Empty if none came within 5 s.
  const std::string& DevicePath() const { return devicePath_; }
  const std::string& Directory() const { return directory_; }
  // Everything zelsim has written to standard error so far.
  std::string ErrorText() const;
  // Everything zelsim has written to standard output, once it has ended.
  std::string OutputText();

  // Sends the signal and waits up to 5 s for the end; the wait status, or -1 if it did not end
  // (it is then killed).
  int Stop(int signal);
  // Waits up to 5 s for the end without a signal; the wait status, or -1.
  int Wait();

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  std::string directory_;
  std::string devicePath_;
  std::string output_;
};

// One read's worth of bytes and when it arrived.
struct Arrival {
  Clock::time_point at;
  std::vector<uint8_t> bytes;
};

// The driver's side of the line: the device opened and set up the way the driver's port does.
class DriverSide {
 public:
  explicit DriverSide(const std::string& path);
  ~DriverSide();
  DriverSide(const DriverSide&) = delete;
  DriverSide& operator=(const DriverSide&) = delete;

  bool Ok() const { return fd_ >= 0; }
  // Writes all bytes; the time just before the write.
  Clock::time_point Write(const std::vector<uint8_t>& bytes);
  // Reads until `count` bytes are in or `timeoutMs` passes, keeping each read apart.
  std::vector<Arrival> Read(size_t count, int timeoutMs);
  void Close();

 private:
  int fd_ = -1;
};

std::vector<uint8_t> Joined(const std::vector<Arrival>& arrivals);
int64_t MsBetween(Clock::time_point from, Clock::time_point to);

}  // namespace zel::sim::test
