#pragma once
// The driver's one serial port object: its settings, opening and set-up, the two read time-out
// regimes, the modem lines, and the port's reads and writes.

#include <cstdint>
#include <memory>
#include <string>

#include "driver/port/PortSettings.h"
#include "driver/port/SerialPort.h"

namespace zel {

class TComProperties {
 public:
  explicit TComProperties(std::unique_ptr<zel::SerialPort> port);
  virtual ~TComProperties();  // closes the port if it is open
  TComProperties(const TComProperties&) = delete;
  TComProperties& operator=(const TComProperties&) = delete;

  // Loads the configuration through SetupDialog (when one is assigned), takes the write
  // time-outs and the seven texts from it and sets the port up; reports nothing.
  void Init();
  // Closes an open device, reopens PortNumber and applies all settings; the outcome is
  // IsPortConfigured. A failure after the open leaves the device open. A TransferRate whose part
  // before the first blank is not a positive decimal number fails the set-up.
  void SetupCOMPort();
  // Stores the seven texts as given; the port is not touched.
  void SetProperties(const std::string& portNumber, const std::string& transferRate,
                     const std::string& stopBits, const std::string& paritet,
                     const std::string& latencyPeriod, const std::string& dtrControl,
                     const std::string& rtsControl);
  // Read interval 50, read total 25 + n x m (m from LatencyPeriod; the null regime uses 0), the
  // write time-outs from ActiveWriteMultiplier and ActiveWriteConstant (negative counts as 0).
  // True when the port took them; false without a platform call on a port that is not
  // configured.
  bool SetDefaultTimeouts();
  bool SetNullTimeouts();
  // Act on whatever is open, configured or not; true only when the device did it.
  bool setDTR();
  bool setRTS();
  bool moveDTR();
  bool moveRTS();
  void SetIsPortConfigured(bool configured);
  // The user's dialog: shows SetupDialog with the current settings; when he confirms, takes his
  // texts over and sets the port up anew with them, then stores them in "ZELdrv.ini" if the port
  // works, or tells him the port cannot be opened (the file then keeps the last settings that
  // worked). A dialog not confirmed changes nothing. Without a SetupDialog it does nothing.
  // The dialog and the notices run modal loops, in which the program may close: once the dialog
  // has returned without confirmation, or once a notice has been shown, this object and the
  // dialog are no longer touched, so both may be destroyed meanwhile. Whoever destroys this object
  // while the dialog is open must end the dialog as cancelled; the object's own destruction is
  // also noticed, should the dialog have been confirmed just before.
  void UserSetupDialog();

  // One read of up to `capacity` bytes under the time-outs in force; 0 when no device is open.
  int32_t Read(uint8_t* buffer, int32_t capacity);
  // One write; the count written, 0 when no device is open or the write failed.
  int32_t Write(const uint8_t* bytes, int32_t count);

  // The read time-out of a whole 256-byte read under the default regime, in ms (25 + 256 x m).
  uint32_t DefaultReadTotalTimeoutMs() const;

  int32_t PortHandle = 0;  // 0 none; positive: a device is open; negative: the last open failed
  std::string PortNumber, TransferRate, StopBits, Paritet, LatencyPeriod, DTRControl, RTSControl;
  bool IsPortConfigured = false;
  PortSettingsCarrier* SetupDialog = nullptr;  // not owned
  int32_t ActiveWriteMultiplier = 0;           // from the file, never shown nor changed
  int32_t ActiveWriteConstant = 0;

 private:
  bool OpenAndApplySettings();
  bool ApplyTimeouts(uint32_t readTotalMultiplier);
  bool SetModemLinesFromSettings();
  bool Escape(zel::ModemLineFunction function);

  std::unique_ptr<zel::SerialPort> port_;
  // Expires with this object: lets UserSetupDialog see, after the dialog's modal loop, that the
  // object was destroyed inside it.
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

// The latency multiplier m of a LatencyPeriod text; 0 for a text that is none of the items.
uint32_t LatencyMultiplier(const std::string& latencyPeriod);

}  // namespace zel
