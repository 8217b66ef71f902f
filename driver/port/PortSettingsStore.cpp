// Kept apart from the loading: only a program that stores settings needs the platform's file
// replacement (FileReplace.h) linked in.
#include <algorithm>
#include <cstdio>

#include "common/Notice.h"
#include "common/FileReplace.h"
#include "driver/port/PortSettings.h"

namespace zel {

namespace {

constexpr const char* TemporarySuffix = ".tmp";
constexpr std::ptrdiff_t NineLines = 9;

}  // namespace

void PortSettingsCarrier::StoreConfiguration(const std::string& fileName) {
  if (!WriteFileWhole(programDirectory_ + fileName)) notice_.ShowNotice(CantStoreConfigurationText);
}

bool PortSettingsCarrier::WriteFileWhole(const std::string& path) const {
  const std::string text = FileText();
  // One line per setting is what the next load relies on; a line feed inside a text would push
  // the write time-outs beyond the ninth line, where they are never read again.
  if (std::count(text.begin(), text.end(), '\n') != NineLines) return false;
  const std::string temporary = path + TemporarySuffix;
  // A leftover of a store that was cut short is ours to replace.
  std::remove(temporary.c_str());
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  written = std::fflush(file) == 0 && written;
  written = std::fclose(file) == 0 && written;
  if (written && ReplaceFileAtomically(temporary, path)) return true;
  std::remove(temporary.c_str());
  return false;
}

}  // namespace zel
