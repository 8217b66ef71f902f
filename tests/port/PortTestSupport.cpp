#include "tests/port/PortTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zel::test {

void ScratchDirectory::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream(FilePath(name), std::ios::binary | std::ios::trunc) << bytes;
}

std::string ScratchDirectory::Read(const std::string& name) const {
  std::ifstream in(FilePath(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> ScratchDirectory::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(Path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Fields(const PortSettings& s) {
  return s.PortNumber + "|" + s.TransferRate + "|" + s.StopBits + "|" + s.Paritet + "|" +
         s.LatencyPeriod + "|" + s.DTRControl + "|" + s.RTSControl + "|" +
         std::to_string(s.WriteTimeOutMultiplier) + "|" + std::to_string(s.WriteTimeOutConstant);
}

}  // namespace zel::test
