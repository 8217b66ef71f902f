// Shared by the port object's tests: a scratch directory for configuration files, a notice that
// records, and the nine settings as one comparable value.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "common/Notice.h"
#include "driver/port/PortSettings.h"

namespace zel::test {

// A fresh directory, removed with everything in it at the end.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // With a trailing separator, as the program directory is given.
  std::string Path() const { return path_ + "/"; }
  std::string FilePath(const std::string& name) const { return Path() + name; }
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // Names of everything in the directory, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

class RecordingNotice : public Notice {
 public:
  void ShowNotice(const std::string& text) override { Texts.push_back(text); }
  std::vector<std::string> Texts;
};

struct NineSettings {
  std::string portNumber, transferRate, stopBits, paritet, latencyPeriod, dtrControl, rtsControl;
  int32_t writeMultiplier = 0;
  int32_t writeConstant = 0;

  auto Tied() const {
    return std::tie(portNumber, transferRate, stopBits, paritet, latencyPeriod, dtrControl,
                    rtsControl, writeMultiplier, writeConstant);
  }
  bool operator==(const NineSettings& other) const { return Tied() == other.Tied(); }
};
void PrintTo(const NineSettings& s, std::ostream* out);

NineSettings SettingsOf(const PortSettingsCarrier& carrier);
void Assign(PortSettingsCarrier& carrier, const NineSettings& settings);

// What a failed load gives.
NineSettings DefaultSettings();

// The lines joined, each followed by `ending`.
std::string FileOf(const std::vector<std::string>& lines, const std::string& ending = "\r\n");

}  // namespace zel::test
