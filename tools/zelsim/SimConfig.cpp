#include "tools/zelsim/SimConfig.h"

#include <cstdio>

#include "driver/frames/HexText.h"

namespace zel::sim {

namespace {

struct FaultEntry {
  Fault fault;
  const char* name;
};

constexpr FaultEntry FaultNames[] = {
    {Fault::None, "none"},
    {Fault::BadHeaderSum, "bad-header-sum"},
    {Fault::BadDataSum, "bad-data-sum"},
    {Fault::Short, "short"},
    {Fault::Trailing, "trailing"},
    {Fault::Fragments, "fragments"},
    {Fault::Silence, "silence"},
    {Fault::CountOver247, "count-over-247"},
};

}  // namespace

const char* EchoModeName(EchoMode mode) {
  switch (mode) {
    case EchoMode::On:
      return "on";
    case EchoMode::Off:
      return "off";
    case EchoMode::Corrupt:
      return "corrupt";
  }
  return "?";
}

const char* FaultName(Fault fault) {
  for (const FaultEntry& entry : FaultNames) {
    if (entry.fault == fault) return entry.name;
  }
  return "?";
}

std::optional<Fault> FaultFromName(const std::string& name) {
  for (const FaultEntry& entry : FaultNames) {
    if (name == entry.name) return entry.fault;
  }
  return std::nullopt;
}

std::string StationText(uint16_t station) {
  char text[sizeof "FFFF"];
  std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(station));
  return text;
}

std::string WireText(const std::vector<uint8_t>& bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text.push_back(' ');
    AppendHexByte(text, bytes[i]);
  }
  return text;
}

}  // namespace zel::sim
