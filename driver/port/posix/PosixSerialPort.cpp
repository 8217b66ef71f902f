#include "driver/port/posix/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "driver/port/DeviceName.h"
#include "driver/port/ReadTiming.h"
#include "driver/port/posix/OpenFailure.h"
#include "driver/port/posix/Termios.h"

namespace zel {

namespace {

// In force from the open until the owner sets its own, so that I/O on a port whose set-up fails
// half-way still ends in bounded time.
constexpr CommTimeouts kOpeningTimeouts{50, 0, 25, 0, 0};

class Stopwatch {
 public:
  uint64_t ElapsedMs() const {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start_)
                                     .count());
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

int PollTimeout(uint64_t ms) { return static_cast<int>(std::min<uint64_t>(ms, INT_MAX)); }

PortError OpenError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    case EIO:  // a serial device node without hardware behind it
      return PortError::NoSuchDevice;
    case EACCES:
    case EPERM:
    case EROFS:
      return PortError::AccessDenied;
    case EBUSY:  // another open set TIOCEXCL
      return PortError::InUse;
    case EISDIR:
      return PortError::NotATerminal;
    default:
      return PortError::Failed;
  }
}

// The system's own words where they say enough; ours where they would mislead.
std::string ErrorDescription(PortError error, int systemError) {
  switch (error) {
    case PortError::NotATerminal:
      return "not a serial device";
    case PortError::NotOpen:
      return "the port is not open";
    case PortError::BadArgument:
      return "settings the line cannot carry";
    case PortError::Rejected:
      return "the device did not take the line settings";
    case PortError::Unsupported:
      return "the device has no such function";
    case PortError::TimedOut:
      return "the write timed out";
    case PortError::DeviceGone:
      return std::string("device vanished (") +
             (systemError != 0 ? std::strerror(systemError) : "hung up") + ")";
    default:
      return systemError != 0 ? std::strerror(systemError) : "the device is gone";
  }
}

bool MeansDeviceGone(int error) {
  return error == EIO || error == ENXIO || error == EBADF || error == ENODEV || error == EPIPE;
}

}  // namespace

PosixSerialPort::~PosixSerialPort() { Close(); }

bool PosixSerialPort::Open(const std::string& name) {
  Close();
  const std::string path = PlatformDeviceName(name);
  subject_ = path;
  // O_NONBLOCK: the open must not wait for carrier, and all later waiting is done by poll.
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    return FailToOpen(OpenError(error), error);
  }

  auto abandon = [this, fd](PortError error, int systemError = 0) {
    ::close(fd);
    return FailToOpen(error, systemError);
  };
  // A regular file under a typed name must never be written to as if it were a line.
  if (::isatty(fd) == 0) return abandon(PortError::NotATerminal);
  // TIOCEXCL alone does not stop root, and flock alone does not stop programs that only open the
  // device; together they keep every second opener out.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    return abandon(error == EWOULDBLOCK ? PortError::InUse : PortError::Failed, error);
  }
  if (::ioctl(fd, TIOCEXCL) != 0) return abandon(PortError::Failed, errno);

  termios2 t{};
  if (!posix::GetTermios(fd, t)) return abandon(PortError::Failed, errno);
  posix::MakeRaw(t);
  if (!posix::SetTermios(fd, t)) return abandon(PortError::Failed, errno);
  // Whatever came in before the port was ours belongs to nobody.
  ::ioctl(fd, TCFLSH, TCIFLUSH);
  if (posix::GetTermios(fd, t)) line_ = posix::LineStateFromTermios(t);

  fd_ = fd;
  gone_ = false;
  path_ = path;
  timeouts_ = kOpeningTimeouts;
  ClearError();
  return true;
}

void PosixSerialPort::Close() {
  if (fd_ < 0) return;
  // The exclusive flag belongs to the terminal, not to this descriptor: it would outlive the
  // close while another descriptor (a pseudo-terminal's master) keeps the terminal alive.
  ::ioctl(fd_, TIOCNXCL);
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  gone_ = false;
  path_.clear();
  ClearError();
}

bool PosixSerialPort::IsOpen() const { return fd_ >= 0; }

bool PosixSerialPort::GetState(LineState& state) {
  if (!Usable()) return false;
  termios2 t{};
  if (!posix::GetTermios(fd_, t)) {
    FailFromErrno(errno);
    return false;
  }
  state = posix::LineStateFromTermios(t);
  line_ = state;
  ClearError();
  return true;
}

bool PosixSerialPort::SetState(const LineState& state) {
  if (!Usable()) return false;
  termios2 before{};
  if (!posix::GetTermios(fd_, before)) {
    FailFromErrno(errno);
    return false;
  }
  termios2 wanted = before;
  if (!posix::ApplyLineState(state, wanted)) return Fail(PortError::BadArgument);
  if (!posix::SetTermios(fd_, wanted)) {
    const int error = errno;
    if (error == EINVAL) return Fail(PortError::Rejected);
    FailFromErrno(error);
    return false;
  }
  // Drivers do not refuse what they cannot do; they run the nearest they can and report that.
  termios2 after{};
  if (!posix::GetTermios(fd_, after)) {
    FailFromErrno(errno);
    return false;
  }
  const LineState reported = posix::LineStateFromTermios(after);
  if (!posix::DeviceTookLineState(state, reported)) {
    posix::SetTermios(fd_, before);
    line_ = posix::LineStateFromTermios(before);
    return Fail(PortError::Rejected);
  }
  line_ = reported;
  ClearError();
  return true;
}

bool PosixSerialPort::SetTimeouts(const CommTimeouts& timeouts) {
  if (!DeviceAnswers()) return false;
  timeouts_ = timeouts;
  return true;
}

bool PosixSerialPort::EscapeFunction(ModemLineFunction function) {
  if (!Usable()) return false;
  unsigned long request = TIOCMBIS;
  int bits = TIOCM_DTR;
  switch (function) {
    case ModemLineFunction::SetDTR:
      request = TIOCMBIS;
      bits = TIOCM_DTR;
      break;
    case ModemLineFunction::ClearDTR:
      request = TIOCMBIC;
      bits = TIOCM_DTR;
      break;
    case ModemLineFunction::SetRTS:
      request = TIOCMBIS;
      bits = TIOCM_RTS;
      break;
    case ModemLineFunction::ClearRTS:
      request = TIOCMBIC;
      bits = TIOCM_RTS;
      break;
    default:
      return Fail(PortError::BadArgument);
  }
  if (::ioctl(fd_, request, &bits) != 0) {
    const int error = errno;
    if (error == ENOTTY || error == EINVAL) return Fail(PortError::Unsupported);
    FailFromErrno(error);
    return false;
  }
  ClearError();
  return true;
}

int32_t PosixSerialPort::Read(uint8_t* buffer, int32_t capacity) {
  if (!Usable()) return 0;
  if (!IsSoundTransfer(buffer, capacity)) {
    Fail(PortError::BadArgument);
    return 0;
  }
  ClearError();
  if (capacity == 0) return 0;

  const Stopwatch clock;
  const ReadPlan plan = PlanRead(timeouts_, capacity, SafetyBoundMs(capacity, line_));
  int32_t received = 0;
  uint64_t lastByteMs = 0;
  bool hangUpSeen = false;
  while (received < capacity) {
    const ssize_t n = ::read(fd_, buffer + received, static_cast<size_t>(capacity - received));
    if (n > 0) {
      received += static_cast<int32_t>(n);
      lastByteMs = clock.ElapsedMs();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    // End of file on a terminal is a hang-up: the other side has gone.
    if (n == 0 || hangUpSeen) {
      gone_ = true;
      Fail(PortError::DeviceGone);
      break;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      FailFromErrno(errno);
      break;
    }
    const ReadStep step = NextReadStep(plan, capacity, received, clock.ElapsedMs(), lastByteMs);
    if (step.finished) break;
    pollfd waiter{fd_, POLLIN, 0};
    const int ready = ::poll(&waiter, 1, PollTimeout(step.waitMs));
    if (ready < 0 && errno != EINTR) {
      FailFromErrno(errno);
      break;
    }
    // Read once more before giving up: a hang-up may leave the last bytes readable.
    if (ready > 0 && (waiter.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) hangUpSeen = true;
  }
  return received;
}

int32_t PosixSerialPort::Write(const uint8_t* bytes, int32_t count) {
  if (!Usable()) return 0;
  if (!IsSoundTransfer(bytes, count)) {
    Fail(PortError::BadArgument);
    return 0;
  }
  ClearError();
  if (count == 0) return 0;

  const Stopwatch clock;
  const uint64_t deadlineMs = WriteDeadlineMs(timeouts_, count, SafetyBoundMs(count, line_));
  int32_t written = 0;
  bool hangUpSeen = false;
  while (written < count) {
    const ssize_t n = ::write(fd_, bytes + written, static_cast<size_t>(count - written));
    if (n > 0) {
      written += static_cast<int32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      FailFromErrno(errno);
      return 0;
    }
    if (hangUpSeen) {
      gone_ = true;
      Fail(PortError::DeviceGone);
      return 0;
    }
    const uint64_t nowMs = clock.ElapsedMs();
    if (nowMs >= deadlineMs) break;
    pollfd waiter{fd_, POLLOUT, 0};
    const int ready = ::poll(&waiter, 1, PollTimeout(deadlineMs - nowMs));
    if (ready < 0 && errno != EINTR) {
      FailFromErrno(errno);
      return 0;
    }
    if (ready > 0 && (waiter.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) hangUpSeen = true;
  }
  if (!DrainOutput(written, deadlineMs, clock.ElapsedMs())) return 0;
  if (written < count) Fail(PortError::TimedOut);
  return written;
}

// A write counts as done when its bytes are on the line, not when the kernel has buffered them:
// the caller reads the echo of its own transmission right afterwards with a short time-out.
// TIOCOUTQ does not count a UART's own FIFO, so the last few characters may still be leaving.
bool PosixSerialPort::DrainOutput(int32_t& written, uint64_t deadlineMs, uint64_t elapsedMs) {
  const Stopwatch clock;
  for (;;) {
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) {
      const int error = errno;
      if (MeansDeviceGone(error)) {
        FailFromErrno(error);
        return false;
      }
      return true;  // no way to tell; the bytes were accepted
    }
    const DrainStep step =
        NextDrainStep(written, queued, elapsedMs + clock.ElapsedMs(), deadlineMs, line_);
    if (step.finished) {
      // What is still queued will not go out now; drop it so the count stays true.
      if (step.transmitted < written) ::ioctl(fd_, TCFLSH, TCOFLUSH);
      written = step.transmitted;
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(step.sleepMs));
  }
}

// A terminal that was hung up (its adapter unplugged, a pseudo-terminal's other side closed)
// reports POLLHUP or POLLERR at once and for good; pending input only adds POLLIN.
bool PosixSerialPort::HasVanished() {
  if (fd_ < 0) return false;
  if (gone_) return !Fail(PortError::DeviceGone);
  pollfd look{fd_, POLLIN, 0};
  if (::poll(&look, 1, 0) <= 0 || (look.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0)
    return false;
  gone_ = true;
  return !Fail(PortError::DeviceGone);
}

bool PosixSerialPort::Usable() {
  if (fd_ < 0) return Fail(PortError::NotOpen);
  if (gone_) return Fail(PortError::DeviceGone);
  return true;
}

// Operations without a system call of their own still fail on a vanished device, as they do
// where the device driver keeps them.
bool PosixSerialPort::DeviceAnswers() {
  if (!Usable()) return false;
  termios2 t{};
  if (!posix::GetTermios(fd_, t)) {
    FailFromErrno(errno);
    return false;
  }
  ClearError();
  return true;
}

bool PosixSerialPort::Fail(PortError error, int systemError) {
  return FailBecause(error, ErrorDescription(error, systemError));
}

bool PosixSerialPort::FailBecause(PortError error, const std::string& why) {
  lastError_ = Outcome<PortError>::Failure(error, subject_ + ": " + why);
  return false;
}

// The commonest reasons a port does not open come with who holds it or what to do.
bool PosixSerialPort::FailToOpen(PortError error, int systemError) {
  if (error == PortError::InUse) return FailBecause(error, InUseText(FindDeviceHolders(subject_)));
  if (systemError == EACCES) {
    return FailBecause(error,
                       AccessDeniedText(std::strerror(systemError), LookUpDeviceAccess(subject_)));
  }
  return Fail(error, systemError);
}

void PosixSerialPort::FailFromErrno(int error) {
  if (MeansDeviceGone(error)) gone_ = true;
  Fail(MeansDeviceGone(error) ? PortError::DeviceGone : PortError::Failed, error);
}

void PosixSerialPort::ClearError() { lastError_ = Outcome<PortError>::Success(); }

std::unique_ptr<SerialPort> MakePlatformSerialPort() { return std::make_unique<PosixSerialPort>(); }

}  // namespace zel
