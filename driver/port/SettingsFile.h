#pragma once
// The file "ZELdrv.ini" (where it lives: ConfigurationPath.h): nine lines of key, "=" and value,
// CR LF after each.
//
//   PortNumber=COM1            the seven texts, exactly as the dialog shows them
//   TransferRate=75 baud
//   StopBits=1 bit
//   Paritet=None
//   LatencyPeriod=Immediately answer
//   DTRControl=HandShake
//   RTSControl=HandShake
//   WriteTimeOutMultiplier=0   signed 32-bit decimals
//   WriteTimeOutConstant=0

#include <string>

#include "common/Outcome.h"
#include "driver/port/PortSettings.h"

namespace zel {

inline constexpr char ConfigurationFileName[] = "ZELdrv.ini";

enum class SettingsFileError {
  None,
  Unreadable,         // missing, or a read failed
  BadNumber,          // a write time-out that is not a whole signed 32-bit decimal
  TextWithLineBreak,  // a text that cannot be stored as one line
  WriteFailed,        // the file could not be replaced
};

// Fills `settings` from the first nine lines of the file. Lines end with CR LF or LF alone; the
// key is everything before the first "=", compared exactly; nothing is trimmed. A key not among
// those lines leaves its field as it was; a key given twice takes the later value. The integers
// take an optional "-" or "+" and at least one digit, nothing else. When the file cannot be read
// or an integer does not convert, `settings` becomes PortSettings::Defaults() and the outcome
// says why.
Outcome<SettingsFileError> LoadConfiguration(const std::string& path, PortSettings& settings);

// Writes the nine lines, replacing the file whole or not at all: on any failure the old file stays
// intact and no temporary is left behind. Missing folders on the way are made where the platform
// keeps the file in the user's configuration folder (see MakeFoldersFor).
Outcome<SettingsFileError> StoreConfiguration(const std::string& path,
                                              const PortSettings& settings);

}  // namespace zel
