// Shared by the port object's tests: a scratch directory for configuration files, and the nine
// settings as one comparable text.
#pragma once

#include <QTemporaryDir>
#include <string>
#include <vector>

#include "driver/port/PortSettings.h"

namespace zel::test {

// A fresh directory, removed with everything in it at the end.
class ScratchDirectory {
 public:
  // With a trailing separator, as the program directory is given.
  std::string Path() const { return directory_.path().toStdString() + "/"; }
  std::string FilePath(const std::string& name) const { return Path() + name; }
  void Write(const std::string& name, const std::string& bytes) const;
  std::string Read(const std::string& name) const;
  // Names of everything in the directory, sorted.
  std::vector<std::string> Entries() const;

 private:
  QTemporaryDir directory_;
};

// The nine fields joined by "|", as the data files write them.
std::string Fields(const PortSettings& settings);

}  // namespace zel::test
