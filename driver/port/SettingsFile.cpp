#include "driver/port/SettingsFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/FileReplace.h"
#include "common/ParseNumber.h"

namespace zel {

namespace {

constexpr size_t LinesRead = 9;
constexpr char MultiplierKey[] = "WriteTimeOutMultiplier";
constexpr char ConstantKey[] = "WriteTimeOutConstant";
constexpr char TemporarySuffix[] = ".tmp";

// The seven texts in the order of the file.
struct TextKey {
  const char* key;
  std::string PortSettings::*field;
};
constexpr std::array<TextKey, 7> TextKeys = {{
    {"PortNumber", &PortSettings::PortNumber},
    {"TransferRate", &PortSettings::TransferRate},
    {"StopBits", &PortSettings::StopBits},
    {"Paritet", &PortSettings::Paritet},
    {"LatencyPeriod", &PortSettings::LatencyPeriod},
    {"DTRControl", &PortSettings::DTRControl},
    {"RTSControl", &PortSettings::RTSControl},
}};

using FileOutcome = Outcome<SettingsFileError>;

FileOutcome Failure(SettingsFileError error, const std::string& path, const std::string& why) {
  return FileOutcome::Failure(error, path + ": " + why);
}

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

// The file's integers may carry a "+", which the number parser refuses everywhere else.
bool ReadWriteTimeout(std::string_view text, int32_t& value) {
  if (!text.empty() && text.front() == '+' && text.size() > 1 && text[1] != '-') {
    text.remove_prefix(1);
  }
  const auto number = ParseNumber<int32_t>(text);
  if (number) value = *number;
  return number.has_value();
}

FileOutcome ReadSettings(const std::string& path, PortSettings& settings) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return Failure(SettingsFileError::Unreadable, path, std::strerror(errno));
  FileOutcome outcome;
  std::string line;
  for (size_t n = 0; outcome.Ok() && n < LinesRead; ++n) {
    if (!ReadLine(file, line)) {
      outcome = Failure(SettingsFileError::Unreadable, path, std::strerror(errno));
      break;
    }
    const std::string::size_type equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    for (const TextKey& text : TextKeys) {
      if (key == text.key) settings.*text.field = value;
    }
    int32_t* number = key == MultiplierKey ? &settings.WriteTimeOutMultiplier
                      : key == ConstantKey ? &settings.WriteTimeOutConstant
                                           : nullptr;
    if (number != nullptr && !ReadWriteTimeout(value, *number)) {
      outcome =
          Failure(SettingsFileError::BadNumber, path, key + " is not a whole number: " + value);
    }
  }
  std::fclose(file);
  return outcome;
}

std::string FileText(const PortSettings& settings) {
  std::string text;
  for (const TextKey& key : TextKeys) text += key.key + ("=" + settings.*key.field) + "\r\n";
  text += MultiplierKey + ("=" + std::to_string(settings.WriteTimeOutMultiplier)) + "\r\n";
  text += ConstantKey + ("=" + std::to_string(settings.WriteTimeOutConstant)) + "\r\n";
  return text;
}

}  // namespace

FileOutcome LoadConfiguration(const std::string& path, PortSettings& settings) {
  FileOutcome outcome = ReadSettings(path, settings);
  if (!outcome.Ok()) settings = PortSettings::Defaults();
  return outcome;
}

FileOutcome StoreConfiguration(const std::string& path, const PortSettings& settings) {
  const std::string text = FileText(settings);
  // One line per setting is what the next load relies on; a line feed inside a text would push
  // the write time-outs beyond the ninth line, where they are never read again.
  if (std::count(text.begin(), text.end(), '\n') != static_cast<std::ptrdiff_t>(LinesRead)) {
    return Failure(SettingsFileError::TextWithLineBreak, path, "a setting holds a line break");
  }
  // The user's configuration folder may not exist before the first store.
  if (!MakeFoldersFor(path)) {
    return Failure(SettingsFileError::WriteFailed, path, std::strerror(errno));
  }
  const std::string temporary = path + TemporarySuffix;
  // A leftover of a store that was cut short is ours to replace.
  std::remove(temporary.c_str());
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return Failure(SettingsFileError::WriteFailed, path, std::strerror(errno));
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  written = std::fflush(file) == 0 && written;
  written = std::fclose(file) == 0 && written;
  if (written && ReplaceFileAtomically(temporary, path)) return FileOutcome::Success();
  const int error = errno;
  std::remove(temporary.c_str());
  return Failure(SettingsFileError::WriteFailed, path, std::strerror(error));
}

}  // namespace zel
