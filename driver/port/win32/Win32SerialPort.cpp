#include "driver/port/win32/Win32SerialPort.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

#include "common/win32/SystemText.h"
#include "driver/port/DeviceName.h"
#include "driver/port/ReadTiming.h"
#include "driver/port/win32/CommState.h"

namespace zel::win32 {

namespace {

// In force from the open until the owner sets its own, so that I/O on a port whose set-up fails
// half-way still ends in bounded time.
constexpr CommTimeouts kOpeningTimeouts{50, 0, 25, 0, 0};
// The longest frame the driver reads or writes in one call.
constexpr int32_t kLargestFrame = 256;

uint64_t MsSince(uint64_t startMs) { return GetTickCount64() - startMs; }

PortError OpenError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DEV_NOT_EXIST:
      return PortError::NoSuchDevice;
    case ERROR_ACCESS_DENIED:  // what a COM port held by another program answers
    case ERROR_SHARING_VIOLATION:
      return PortError::InUse;
    default:
      return PortError::Failed;
  }
}

// What the handle of a vanished device answers: a removed USB adapter gives ACCESS_DENIED,
// BAD_COMMAND or GEN_FAILURE, a removed device DEVICE_REMOVED or DEVICE_NOT_CONNECTED, I/O that
// was under way OPERATION_ABORTED (line errors abort nothing: MakeRaw turns that off). Wine
// reports a hung-up terminal's EIO as NOT_READY.
bool MeansDeviceGone(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED:
      return true;
    default:
      return false;
  }
}

std::string Explained(const std::string& what, const std::string& system) {
  return system.empty() ? what : what + " (" + system + ")";
}

// The system's own words where they say what happened; ours where they would mislead, and a
// hint where the cause is usually elsewhere.
std::string ErrorDescription(PortError error, DWORD systemError) {
  const std::string system = systemError != 0 ? SystemErrorText(systemError) : "";
  switch (error) {
    case PortError::InUse:
      return system.empty() ? "in use by another program"
                            : system + " (in use by another program?)";
    case PortError::NotATerminal:
      return "not a serial device";
    case PortError::NotOpen:
      return "the port is not open";
    case PortError::BadArgument:
      return "settings the line cannot carry";
    case PortError::Rejected:
      return Explained("the device did not take the line settings", system);
    case PortError::Unsupported:
      return Explained("the device has no such function", system);
    case PortError::TimedOut:
      return "the write timed out";
    case PortError::DeviceGone:
      return Explained("device vanished", system);
    default:
      return system.empty() ? "failed" : system;
  }
}

DWORD EscapeCode(ModemLineFunction function) {
  switch (function) {
    case ModemLineFunction::SetDTR:
      return SETDTR;
    case ModemLineFunction::ClearDTR:
      return CLRDTR;
    case ModemLineFunction::SetRTS:
      return SETRTS;
    case ModemLineFunction::ClearRTS:
      return CLRRTS;
  }
  return 0;
}

// The device's DCB; false with GetLastError telling why.
bool ReadDcb(HANDLE handle, DCB& dcb) {
  dcb = DCB{};
  dcb.DCBlength = sizeof(dcb);
  return GetCommState(handle, &dcb) != FALSE;
}

// Windows keeps a second program out of a COM device one program holds; Wine lets it in, and two
// drivers would then split the replies between them. A named object per device keeps a second
// port of this kind out everywhere; it goes with its handle, so a crashed holder leaves no claim
// behind. False when another port holds the device; claim is null when no object could be made
// (the device's own exclusivity then stands alone).
bool ClaimDevice(const std::string& device, HANDLE& claim) {
  const std::string prefix = "\\\\.\\";
  const bool prefixed = device.compare(0, prefix.size(), prefix) == 0;
  std::string name = "Local\\zel-serial-port:";
  for (char c : prefixed ? device.substr(prefix.size()) : device) {
    name += c == '\\' ? '/' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  claim = CreateMutexA(nullptr, FALSE, name.c_str());
  if (claim == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) return true;
  CloseHandle(claim);
  claim = nullptr;
  return false;
}

DWORD Clamped(uint64_t ms) { return static_cast<DWORD>(std::min<uint64_t>(ms, kMaxDword - 1)); }

}  // namespace

Win32SerialPort::~Win32SerialPort() { Close(); }

bool Win32SerialPort::Open(const std::string& name) {
  Close();
  subject_ = name;
  const std::string device = PlatformDeviceName(name);
  HANDLE claim = nullptr;
  if (!ClaimDevice(device, claim)) return Fail(PortError::InUse);
  const HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (claim != nullptr) CloseHandle(claim);
    return Fail(OpenError(error), error);
  }
  handle_ = handle;
  claim_ = claim;
  gone_ = false;
  auto abandon = [this] {
    Outcome<PortError> why = lastError_;
    Close();
    lastError_ = std::move(why);
    return false;
  };

  DCB dcb;
  // Files and pipes open as well; only a serial device has a line state.
  if (!ReadDcb(handle, dcb)) {
    Fail(PortError::NotATerminal);
    return abandon();
  }
  MakeRaw(dcb);
  if (!SetCommState(handle, &dcb)) {
    FailFromSystem(GetLastError());
    return abandon();
  }
  // Whatever came in before the port was ours belongs to nobody.
  PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR);
  line_ = LineState();
  LineStateFromDcb(dcb, line_);
  timeouts_ = kOpeningTimeouts;
  boundBytes_ = kLargestFrame;
  if (!PutTimeouts()) return abandon();
  ClearError();
  return true;
}

void Win32SerialPort::Close() {
  if (handle_ == nullptr) return;
  CloseHandle(handle_);
  if (claim_ != nullptr) CloseHandle(claim_);
  handle_ = nullptr;
  claim_ = nullptr;
  gone_ = false;
  ClearError();
}

bool Win32SerialPort::IsOpen() const { return handle_ != nullptr; }

bool Win32SerialPort::GetState(LineState& state) {
  if (!Usable()) return false;
  DCB dcb;
  if (!ReadDcb(handle_, dcb)) return FailFromSystem(GetLastError());
  LineState reported;
  if (!LineStateFromDcb(dcb, reported)) return Fail(PortError::Failed, ERROR_INVALID_DATA);
  state = reported;
  line_ = reported;
  ClearError();
  return true;
}

bool Win32SerialPort::SetState(const LineState& state) {
  if (!Usable()) return false;
  DCB before;
  if (!ReadDcb(handle_, before)) return FailFromSystem(GetLastError());
  DCB wanted = before;
  if (!ApplyLineState(state, wanted)) return Fail(PortError::BadArgument);
  if (!SetCommState(handle_, &wanted)) {
    const DWORD error = GetLastError();
    // The settings go to the driver one request after the other: a refusal may come after the
    // rate was taken.
    SetCommState(handle_, &before);
    if (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED) {
      return Fail(PortError::Rejected, error);
    }
    return FailFromSystem(error);
  }
  // Windows drivers report the rate they were given; another one means they run another (Wine
  // falls back to 38400 for a rate it has no code for, and says so only in its log).
  DCB after;
  if (!ReadDcb(handle_, after)) return FailFromSystem(GetLastError());
  LineState reported;
  if (!LineStateFromDcb(after, reported) || reported != state) {
    SetCommState(handle_, &before);
    return Fail(PortError::Rejected);
  }
  line_ = state;
  if (!PutTimeouts()) return false;  // the bounds follow the rate
  ClearError();
  return true;
}

bool Win32SerialPort::SetTimeouts(const CommTimeouts& timeouts) {
  if (!Usable()) return false;
  const CommTimeouts previous = timeouts_;
  timeouts_ = timeouts;
  if (!PutTimeouts()) {
    timeouts_ = previous;
    return false;
  }
  ClearError();
  return true;
}

bool Win32SerialPort::EscapeFunction(ModemLineFunction function) {
  if (!Usable()) return false;
  const DWORD code = EscapeCode(function);
  if (code == 0) return Fail(PortError::BadArgument);
  if (!EscapeCommFunction(handle_, code)) {
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) {
      return Fail(PortError::Unsupported, error);
    }
    return FailFromSystem(error);
  }
  ClearError();
  return true;
}

int32_t Win32SerialPort::Read(uint8_t* buffer, int32_t capacity) {
  if (!Usable()) return 0;
  if (!IsSoundTransfer(buffer, capacity)) {
    Fail(PortError::BadArgument);
    return 0;
  }
  ClearError();
  if (capacity == 0 || !FitBounds(capacity)) return 0;
  DWORD received = 0;
  // Bytes that came before a failure are delivered all the same.
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(capacity), &received, nullptr)) {
    FailFromSystem(GetLastError());
  } else if (received < static_cast<DWORD>(capacity)) {
    // Wine ends a read on a hung-up line as if nothing had come, only at its time-out.
    Vanished();
  }
  return static_cast<int32_t>(std::min<DWORD>(received, static_cast<DWORD>(capacity)));
}

int32_t Win32SerialPort::Write(const uint8_t* bytes, int32_t count) {
  if (!Usable()) return 0;
  if (!IsSoundTransfer(bytes, count)) {
    Fail(PortError::BadArgument);
    return 0;
  }
  ClearError();
  if (count == 0 || !FitBounds(count)) return 0;
  const uint64_t startMs = GetTickCount64();
  DWORD accepted = 0;
  if (!WriteFile(handle_, bytes, static_cast<DWORD>(count), &accepted, nullptr)) {
    FailFromSystem(GetLastError());
    return 0;
  }
  // A write that ran out of time still succeeds, with fewer bytes.
  int32_t written = static_cast<int32_t>(std::min<DWORD>(accepted, static_cast<DWORD>(count)));
  if (!DrainOutput(written, WriteDeadlineMs(inForce_, count, 0), startMs)) return 0;
  if (written < count) Fail(PortError::TimedOut);
  return written;
}

// A write counts as done when its bytes are on the line. Windows' own drivers complete a write
// only then; Wine completes it once the kernel has buffered the bytes, and the caller reads the
// echo of its transmission right afterwards with a short time-out.
bool Win32SerialPort::DrainOutput(int32_t& written, uint64_t deadlineMs, uint64_t startMs) {
  for (;;) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &errors, &status)) {
      const DWORD error = GetLastError();
      if (MeansDeviceGone(error)) return FailFromSystem(error);
      return true;  // no way to tell; the bytes were accepted
    }
    const int32_t queued = static_cast<int32_t>(std::min<DWORD>(status.cbOutQue, INT32_MAX));
    const DrainStep step = NextDrainStep(written, queued, MsSince(startMs), deadlineMs, line_);
    if (step.finished) {
      // What is still queued will not go out now; drop it so the count stays true.
      if (step.transmitted < written) PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
      written = step.transmitted;
      return true;
    }
    Sleep(static_cast<DWORD>(step.sleepMs));
  }
}

bool Win32SerialPort::HasVanished() {
  if (handle_ == nullptr) return false;
  if (gone_) return !Fail(PortError::DeviceGone);
  return Vanished();
}

bool Win32SerialPort::Vanished() {
  DWORD errors = 0;
  COMSTAT status{};
  if (ClearCommError(handle_, &errors, &status)) return false;
  const DWORD error = GetLastError();
  if (!MeansDeviceGone(error)) return false;
  return !FailFromSystem(error);
}

bool Win32SerialPort::Usable() {
  if (handle_ == nullptr) return Fail(PortError::NotOpen);
  if (gone_) return Fail(PortError::DeviceGone);
  return true;
}

// A handshake line that never frees, or a device that never answers, must not hold the driver
// forever: where the owner set no total time-out, reads and writes still end after the safety
// bound of the largest transfer so far (at least one whole frame) at the line's rate. Every read
// value the owner set goes to the device as it is.
bool Win32SerialPort::PutTimeouts() {
  inForce_ = timeouts_;
  const DWORD bound = Clamped(SafetyBoundMs(boundBytes_, line_));
  if (PlanRead(timeouts_, boundBytes_, 0).totalIsSafetyBound) {
    inForce_.ReadTotalTimeoutConstant = bound;
  }
  if (inForce_.WriteTotalTimeoutMultiplier == 0 && inForce_.WriteTotalTimeoutConstant == 0) {
    inForce_.WriteTotalTimeoutConstant = bound;
  }
  COMMTIMEOUTS put{inForce_.ReadIntervalTimeout, inForce_.ReadTotalTimeoutMultiplier,
                   inForce_.ReadTotalTimeoutConstant, inForce_.WriteTotalTimeoutMultiplier,
                   inForce_.WriteTotalTimeoutConstant};
  return SetCommTimeouts(handle_, &put) || FailFromSystem(GetLastError());
}

// A transfer longer than any before gets bounds made for its size.
bool Win32SerialPort::FitBounds(int32_t count) {
  if (count <= boundBytes_) return true;
  boundBytes_ = count;
  return PutTimeouts();
}

bool Win32SerialPort::Fail(PortError error, unsigned long systemError) {
  const std::string description = ErrorDescription(error, systemError);
  lastError_ = Outcome<PortError>::Failure(
      error, subject_.empty() ? description : subject_ + ": " + description);
  return false;
}

bool Win32SerialPort::FailFromSystem(unsigned long systemError) {
  const bool gone = MeansDeviceGone(systemError);
  if (gone) gone_ = true;
  return Fail(gone ? PortError::DeviceGone : PortError::Failed, systemError);
}

void Win32SerialPort::ClearError() { lastError_ = Outcome<PortError>::Success(); }

}  // namespace zel::win32

namespace zel {

std::unique_ptr<SerialPort> MakePlatformSerialPort() {
  return std::make_unique<win32::Win32SerialPort>();
}

}  // namespace zel
