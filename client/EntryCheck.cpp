#include "client/EntryCheck.h"

#include "driver/frames/HexText.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace zel {

namespace {

// Data digits are the driver's: uppercase only.
bool IsDataDigit(char c) { return HexDigitValue(c) >= 0; }

int HexValueAnyCase(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Digits accumulate in 64 bits and stop as soon as the value passes the limit, so any number of
// digits (leading zeros included) is read without overflow.
std::optional<uint64_t> ReadDigits(std::string_view digits, uint64_t base, uint64_t limit) {
  if (digits.empty()) return std::nullopt;
  uint64_t value = 0;
  for (const char c : digits) {
    const int digit = HexValueAnyCase(c);
    if (digit < 0 || static_cast<uint64_t>(digit) >= base) return std::nullopt;
    value = value * base + static_cast<uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<int32_t> ReadAddressNumber(std::string_view text) {
  const size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::nullopt;
  text.remove_prefix(start);

  if (text.front() == '$') {
    const auto value = ReadDigits(text.substr(1), 16, 0xFFFFFFFFu);
    if (!value) return std::nullopt;
    // Values above INT32_MAX stand for their two's complement, written out to stay portable.
    const int64_t wide = static_cast<int64_t>(*value);
    return static_cast<int32_t>(wide > INT32_MAX ? wide - 0x100000000LL : wide);
  }

  const bool negative = text.front() == '-';
  if (negative || text.front() == '+') text.remove_prefix(1);
  const uint64_t limit = negative ? 2147483648u : 2147483647u;
  const auto value = ReadDigits(text, 10, limit);
  if (!value) return std::nullopt;
  const int64_t wide = static_cast<int64_t>(*value);
  return static_cast<int32_t>(negative ? -wide : wide);
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

EntryCheckResult CheckEntry(std::string_view hiTo, std::string_view loTo, std::string_view hiFrom,
                            std::string_view loFrom, const std::vector<std::string>& memoLines) {
  EntryCheckResult result;

  const std::array<std::string_view, 4> fields = {hiTo, loTo, hiFrom, loFrom};
  const std::array<EntryFault, 4> faults = {EntryFault::HiToEdit, EntryFault::LoToEdit,
                                            EntryFault::HiFromEdit, EntryFault::LoFromEdit};
  std::array<std::string, 4> hex;
  for (size_t i = 0; i < fields.size(); ++i) {
    const auto number = ReadAddressNumber(fields[i]);
    if (!number) {
      result.Fault = faults[i];
      return result;
    }
    hex[i] = AddressHex(*number);
  }

  result.FrameTextReplaced = true;
  result.FrameText = hex[0] + hex[1] + ' ' + hex[2] + hex[3] + ' ';

  const size_t lineCount = std::min(memoLines.size(), static_cast<size_t>(MemoLinesRead));
  for (size_t line = 0; line < lineCount; ++line) {
    for (const char c : memoLines[line]) {
      if (IsBlank(c)) continue;
      if (!IsDataDigit(c)) {
        result.Fault = EntryFault::Memo;
        return result;
      }
      result.FrameText.push_back(c);
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
