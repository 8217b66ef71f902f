#include "client/EntryCheck.h"

#include <algorithm>
#include <array>

#include "common/ParseNumber.h"
#include "driver/frames/HexText.h"

namespace zel {

namespace {

std::optional<int32_t> ReadAddressNumber(std::string_view text) {
  const size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::nullopt;
  text.remove_prefix(start);

  if (text.front() == '$') {
    // Unsigned, so no sign may follow the "$"; values above INT32_MAX stand for their two's
    // complement, written out to stay portable.
    const auto value = ParseNumber<uint32_t>(text.substr(1), 0, UINT32_MAX, 16);
    if (!value) return std::nullopt;
    const int64_t wide = *value;
    return static_cast<int32_t>(wide > INT32_MAX ? wide - 0x100000000LL : wide);
  }
  // from_chars takes a "-" but no "+", and "+-5" is no integer.
  if (text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  return ParseNumber<int32_t>(text);
}

std::string AddressHex(int32_t value) {
  uint32_t rest = static_cast<uint32_t>(value);
  std::string reversed;
  do {
    reversed.push_back(HexDigits[rest & 0x0F]);
    rest >>= 4;
  } while (rest != 0);
  if (reversed.size() < 2) reversed.push_back('0');
  return std::string(reversed.rbegin(), reversed.rend());
}

}  // namespace

EntryCheckResult CheckEntry(std::string_view hiTo, std::string_view loTo, std::string_view hiFrom,
                            std::string_view loFrom, const std::vector<std::string>& memoLines) {
  EntryCheckResult result;

  // The first field that fails ends the check; the ones after it are not read.
  std::array<std::string, 4> hex;
  const std::array<std::string_view, 4> fields = {hiTo, loTo, hiFrom, loFrom};
  for (size_t i = 0; i < fields.size(); ++i) {
    const auto number = ReadAddressNumber(fields[i]);
    if (!number) return result;
    hex[i] = AddressHex(*number);
  }

  std::string& frameText = result.FrameText.emplace(hex[0] + hex[1] + ' ' + hex[2] + hex[3] + ' ');
  const size_t linesRead = std::min(memoLines.size(), static_cast<size_t>(MemoLinesRead));
  for (size_t line = 0; line < linesRead; ++line) {
    for (const char c : memoLines[line]) {
      if (IsBlank(c)) continue;
      // Data digits are the driver's: uppercase only.
      if (HexDigitValue(c) < 0) return result;
      frameText.push_back(c);
    }
  }

  result.Valid = true;
  return result;
}

std::string DumpText(std::string_view frameText) {
  for (int step = 0; step < 2; ++step) {
    const size_t space = frameText.find(' ');
    if (space != std::string_view::npos) frameText.remove_prefix(space + 1);
  }
  return std::string(frameText);
}

}  // namespace zel
