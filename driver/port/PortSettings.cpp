#include "driver/port/PortSettings.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <utility>

#include "common/Notice.h"

namespace zel {

const std::array<const char*, 4> PortNumberItems = {"COM1", "COM2", "COM3", "COM4"};
const std::array<const char*, 17> TransferRateItems = {
    "75 baud",    "110 baud",   "134 baud",   "150 baud",   "300 baud",   "600 baud",
    "1200 baud",  "1800 baud",  "2400 baud",  "4800 baud",  "7200 baud",  "9600 baud",
    "14400 baud", "19200 baud", "38400 baud", "57600 baud", "115200 baud"};
const std::array<const char*, 3> StopBitsItems = {"1 bit", "1.5 bit", "2 bit"};
const std::array<const char*, 5> ParitetItems = {"None", "Even", "Odd", "Mark", "Space"};
const std::array<const char*, 13> LatencyPeriodItems = {
    "Immediately answer",         "Approximately 0.25 second",  "Approximately 0.5 second",
    "Approximately 0.75 second",  "Approximately 1.25 seconds", "Approximately 2.5 seconds",
    "Approximately 5 seconds",    "Approximately 7.5 seconds",  "Approximately 10 seconds",
    "Approximately 12.5 seconds", "Approximately 15 seconds",   "Approximately 17.5 seconds",
    "Approximately 20 seconds"};
const std::array<const char*, 3> LineControlItems = {"Disable", "Enable", "HandShake"};

namespace {

constexpr size_t LinesRead = 9;
constexpr const char* MultiplierKey = "WriteTimeOutMultiplier";
constexpr const char* ConstantKey = "WriteTimeOutConstant";

// The seven text settings in the order of the file.
struct TextKey {
  const char* key;
  std::string PortSettingsCarrier::*field;
};
constexpr std::array<TextKey, 7> TextKeys = {{
    {"PortNumber", &PortSettingsCarrier::PortNumCBox},
    {"TransferRate", &PortSettingsCarrier::SpeedCBox},
    {"StopBits", &PortSettingsCarrier::StopBitCBox},
    {"Paritet", &PortSettingsCarrier::ParitetCBox},
    {"LatencyPeriod", &PortSettingsCarrier::PeriodCBox},
    {"DTRControl", &PortSettingsCarrier::DTRcontrolCBox},
    {"RTSControl", &PortSettingsCarrier::RTScontrolCBox},
}};

// One line without its ending. A CR belongs to the ending only right before the LF. At the end
// of the file the line is empty. False on a read error.
bool ReadLine(std::FILE* file, std::string& line) {
  line.clear();
  for (;;) {
    const int c = std::getc(file);
    if (c == EOF) return std::ferror(file) == 0;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool ParseInt32(const std::string& text, int32_t& value) {
  size_t position = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    position = 1;
  }
  if (position == text.size()) return false;
  constexpr int64_t Limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; position < text.size(); ++position) {
    const char c = text[position];
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > Limit) return false;
  }
  const int64_t result = negative ? -magnitude : magnitude;
  if (result > std::numeric_limits<int32_t>::max()) return false;
  value = static_cast<int32_t>(result);
  return true;
}

}  // namespace

PortSettingsCarrier::PortSettingsCarrier(std::string programDirectory, Notice& notice)
    : programDirectory_(std::move(programDirectory)), notice_(notice) {}

bool PortSettingsCarrier::ShowModally() { return false; }

void PortSettingsCarrier::ShowNotice(const std::string& text) { notice_.ShowNotice(text); }

void PortSettingsCarrier::LoadConfiguration(const std::string& fileName) {
  if (!ReadFile(programDirectory_ + fileName)) TakeDefaults();
}

bool PortSettingsCarrier::ReadFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bool ok = true;
  std::string line;
  for (size_t n = 0; ok && n < LinesRead; ++n) {
    if (!ReadLine(file, line)) {
      ok = false;
      break;
    }
    const std::string::size_type equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    for (const TextKey& text : TextKeys) {
      if (key == text.key) this->*text.field = value;
    }
    if (key == MultiplierKey) ok = ParseInt32(value, WriteTimeOutMultiplier);
    if (key == ConstantKey) ok = ParseInt32(value, WriteTimeOutConstant);
  }
  std::fclose(file);
  return ok;
}

void PortSettingsCarrier::TakeDefaults() {
  PortNumCBox = PortNumberItems[0];
  SpeedCBox = TransferRateItems[0];
  StopBitCBox = StopBitsItems[0];
  ParitetCBox = ParitetItems[0];
  PeriodCBox = LatencyPeriodItems[0];
  DTRcontrolCBox = LineControlItems[2];
  RTScontrolCBox = LineControlItems[2];
  WriteTimeOutMultiplier = 0;
  WriteTimeOutConstant = 0;
}

std::string PortSettingsCarrier::FileText() const {
  std::string text;
  for (const TextKey& key : TextKeys) text += key.key + ("=" + this->*key.field) + "\r\n";
  text += MultiplierKey + ("=" + std::to_string(WriteTimeOutMultiplier)) + "\r\n";
  text += ConstantKey + ("=" + std::to_string(WriteTimeOutConstant)) + "\r\n";
  return text;
}

}  // namespace zel
