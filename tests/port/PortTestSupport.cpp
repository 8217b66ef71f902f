#include "tests/port/PortTestSupport.h"

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zel::test {

ScratchDirectory::ScratchDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zelport-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
  }
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  // Tests may have taken permissions away; give them back so everything can go.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDirectory::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(FilePath(name), std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + FilePath(name));
}

std::string ScratchDirectory::Read(const std::string& name) const {
  std::ifstream in(FilePath(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ScratchDirectory::Exists(const std::string& name) const {
  std::error_code ignored;
  return std::filesystem::exists(FilePath(name), ignored);
}

std::vector<std::string> ScratchDirectory::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void PrintTo(const NineSettings& s, std::ostream* out) {
  *out << "{\"" << s.portNumber << "\", \"" << s.transferRate << "\", \"" << s.stopBits << "\", \""
       << s.paritet << "\", \"" << s.latencyPeriod << "\", \"" << s.dtrControl << "\", \""
       << s.rtsControl << "\", " << s.writeMultiplier << ", " << s.writeConstant << "}";
}

NineSettings SettingsOf(const PortSettingsCarrier& c) {
  return {c.PortNumCBox,         c.SpeedCBox,      c.StopBitCBox,    c.ParitetCBox,
          c.PeriodCBox,          c.DTRcontrolCBox, c.RTScontrolCBox, c.WriteTimeOutMultiplier,
          c.WriteTimeOutConstant};
}

void Assign(PortSettingsCarrier& c, const NineSettings& s) {
  c.PortNumCBox = s.portNumber;
  c.SpeedCBox = s.transferRate;
  c.StopBitCBox = s.stopBits;
  c.ParitetCBox = s.paritet;
  c.PeriodCBox = s.latencyPeriod;
  c.DTRcontrolCBox = s.dtrControl;
  c.RTScontrolCBox = s.rtsControl;
  c.WriteTimeOutMultiplier = s.writeMultiplier;
  c.WriteTimeOutConstant = s.writeConstant;
}

NineSettings DefaultSettings() {
  return {"COM1", "75 baud", "1 bit", "None", "Immediately answer", "HandShake", "HandShake", 0, 0};
}

std::string FileOf(const std::vector<std::string>& lines, const std::string& ending) {
  std::string text;
  for (const std::string& line : lines) text += line + ending;
  return text;
}

}  // namespace zel::test
