#pragma once
// The driver's port settings as the user picks them, and the file "ZELdrv.ini" they live in.
// The setup dialog carries them between the file and the port object; this is its data side.

#include <array>
#include <cstdint>
#include <string>

namespace zel {

class Notice;

// The item list of each setting, in order; defaults and the port's set-up go by position.
extern const std::array<const char*, 4> PortNumberItems;
extern const std::array<const char*, 17> TransferRateItems;
extern const std::array<const char*, 3> StopBitsItems;
extern const std::array<const char*, 5> ParitetItems;
extern const std::array<const char*, 13> LatencyPeriodItems;
extern const std::array<const char*, 3> LineControlItems;  // DTRControl and RTSControl

constexpr const char* ConfigurationFileName = "ZELdrv.ini";
// What the user is told when the settings could not be written.
inline constexpr char CantStoreConfigurationText[] = "Can't store current configuration !";
// What the user is told when the confirmed settings do not give a working port.
inline constexpr char CantOpenResourceText[] = "Warning !  Can't open this resourse !";

class PortSettingsCarrier {
 public:
  // programDirectory: where the program file lives, with a trailing separator. notice: shows
  // "Can't store current configuration !" when storing fails.
  PortSettingsCarrier(std::string programDirectory, Notice& notice);
  virtual ~PortSettingsCarrier() = default;

  // Lets the user edit the seven texts and returns once he is done: true only when he confirmed
  // (OK), the texts then holding his choice; false for anything else, the texts then being of no
  // meaning. A window that is ended from outside (the program closing) returns false. Without a
  // window there is no one to confirm: false.
  // An override must not touch its own members after its window was ended from outside: the
  // carrier may have been destroyed meanwhile.
  virtual bool ShowModally();

  // Tells the user `text` through the notice and returns once he acknowledged it.
  void ShowNotice(const std::string& text);

  // Fills the nine fields from the first nine lines of the file in the program directory. Lines
  // end with CR LF or LF alone; the key is everything before the first "=", compared exactly;
  // nothing is trimmed. A key that is not among the nine lines leaves its field as it was; a key
  // given twice takes the later value. The integers are whole signed 32-bit decimals: an optional
  // "-" or "+" and at least one digit, nothing else (no blanks). A missing or unreadable file or
  // an integer that does not convert gives all nine fields their defaults. Reports nothing.
  void LoadConfiguration(const std::string& fileName);
  // Writes the nine lines (CR LF endings), replacing the file whole or not at all: the old file
  // stays intact and no temporary is left behind when anything fails, and the user is then told
  // once through the notice. A text holding a line feed cannot be stored as one line and counts
  // as such a failure. The fields themselves never change here.
  void StoreConfiguration(const std::string& fileName);

  // The texts as the selection fields hold them, and the two write time-outs.
  std::string PortNumCBox, SpeedCBox, StopBitCBox, ParitetCBox, PeriodCBox, DTRcontrolCBox,
      RTScontrolCBox;
  int32_t WriteTimeOutMultiplier = 0;
  int32_t WriteTimeOutConstant = 0;

  const std::string& ProgramDirectory() const { return programDirectory_; }

 private:
  bool ReadFile(const std::string& path);
  void TakeDefaults();
  std::string FileText() const;
  bool WriteFileWhole(const std::string& path) const;

  std::string programDirectory_;
  Notice& notice_;
};

}  // namespace zel
