#pragma once
// The driver's one serial port object: its settings, opening and set-up, the two read time-out
// regimes, the modem lines, and the port's reads and writes.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/Notice.h"
#include "driver/port/LineListener.h"
#include "driver/port/PortSettings.h"
#include "driver/port/SerialPort.h"
#include "driver/port/SettingsFile.h"

namespace zel {

// The window in which the user edits the port settings.
class PortSettingsEditor {
 public:
  virtual ~PortSettingsEditor() = default;
  // Shows `settings` and returns once the user is done: true only when he confirmed, `settings`
  // then holding his choice; false for anything else, `settings` then being of no meaning. A
  // window ended from outside (the program closing) returns false, and an editor destroyed
  // inside its own loop must not touch itself afterwards.
  virtual bool Edit(PortSettings& settings) = 0;
};

// Where the device stands.
enum class PortHandleState { None, Open, OpenFailed };

// What the user is told when the settings could not be written.
inline constexpr char CantStoreConfigurationText[] = "Can't store current configuration !";
// What the user is told when the confirmed settings do not give a working port.
inline constexpr char CantOpenResourceText[] = "Warning !  Can't open this resourse !";

class TComProperties {
 public:
  // port: the device layer; configurationPath: the settings file; notice: the user's warnings.
  TComProperties(std::unique_ptr<SerialPort> port, std::string configurationPath, Notice& notice);
  virtual ~TComProperties();  // closes the port if it is open
  TComProperties(const TComProperties&) = delete;
  TComProperties& operator=(const TComProperties&) = delete;

  // Loads the configuration file (defaults when it cannot be read) and sets the port up; reports
  // nothing to the user.
  void Init();
  // Closes an open device, reopens Settings.PortNumber and applies all settings; the outcome is
  // IsPortConfigured, and when it failed SetupFailure says why (also through ReportFailure).
  // A failure after the open leaves the device open.
  void SetupCOMPort();
  // Takes over the seven texts of `settings`; the write time-outs stay as loaded. The port is not
  // touched.
  void SetProperties(const PortSettings& settings);
  // Read interval 50, read total 25 + n x m (m from the latency setting; the null regime uses 0),
  // the write time-outs from the file (negative counts as 0). True when the port took them; false
  // without a platform call on a port that is not configured.
  bool SetDefaultTimeouts();
  bool SetNullTimeouts();
  // Act on whatever is open, configured or not; true only when the device did it.
  bool setDTR();
  bool setRTS();
  bool dropDTR();
  bool dropRTS();
  void SetIsPortConfigured(bool configured);
  // The user's dialog: shows SetupDialog with a copy of the settings; when he confirms, takes his
  // texts over and sets the port up anew with them, then stores them in the configuration file
  // if the port works, or tells him the port cannot be opened (the file then keeps the last
  // settings that worked). A dialog not confirmed changes nothing. Without a SetupDialog it does
  // nothing. The dialog and the notices run modal loops, in which the program may close: once
  // the dialog has returned without confirmation, or once a notice has been shown, this object
  // and the dialog are no longer touched, so both may be destroyed meanwhile.
  void UserSetupDialog();

  // One read of up to `capacity` bytes under the time-outs in force; 0 when no device is open.
  int32_t Read(uint8_t* buffer, int32_t capacity);
  // One write; the count written, 0 when no device is open or the write failed.
  int32_t Write(const uint8_t* bytes, int32_t count);
  // Hears the bytes of every read and write that moved some; none (the usual case) costs one
  // test per operation. Not owned.
  void SetLineListener(LineListener* listener) { lineListener_ = listener; }

  // A device that vanishes under the open port (seen by these operations, or by this look) is
  // closed and the port is no longer configured; SetupFailure says why, also through
  // ReportFailure. Called before each command: looks whether the device has vanished, and sets a
  // vanished device up anew with the current Settings, at most once a second (nowMs: a monotonic
  // clock). A port that failed to open or set up for another reason is left as it is.
  void ReopenIfVanished(int64_t nowMs);
  // The device vanished and has not been set up again since.
  bool HasVanished() const { return vanished_; }

  // The read time-out of a whole 256-byte read under the default regime, in ms (25 + 256 x m).
  uint32_t DefaultReadTotalTimeoutMs() const;

  PortSettings Settings;
  PortHandleState PortHandle = PortHandleState::None;
  bool IsPortConfigured = false;
  PortSettingsEditor* SetupDialog = nullptr;  // not owned
  // Why the last set-up failed ("port: /dev/ttyUSB0: Permission denied ..."); empty after one
  // that worked.
  std::string SetupFailure;
  // Hears SetupFailure each time a set-up fails; the program echoes it on standard error.
  std::function<void(const std::string&)> ReportFailure;

 private:
  bool OpenAndApplySettings();
  bool Fail(const std::string& why);
  bool ApplyTimeouts(uint32_t readTotalMultiplier);
  bool ApplyLineControls();
  bool Escape(ModemLineFunction function);
  bool LineOperation(ModemLineFunction function);
  void NoticeVanishing();
  void Vanish(std::string why);  // a copy: closing the port clears its last error

  std::unique_ptr<SerialPort> port_;
  LineListener* lineListener_ = nullptr;
  std::string configurationPath_;
  Notice& notice_;
  bool vanished_ = false;
  std::optional<int64_t> lastReopenMs_;  // when a vanished device was last tried
  // Expires with this object: lets UserSetupDialog see, after the dialog's modal loop, that the
  // object was destroyed inside it.
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace zel
