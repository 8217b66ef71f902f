#include "driver/frames/FrameBuilder.h"

#include <algorithm>
#include <cstddef>

#include "driver/frames/Checksum.h"
#include "driver/frames/HexText.h"

namespace {

constexpr size_t AddressCharacters = 8;
constexpr int32_t CountOffset = 4;
constexpr int32_t HeaderSumOffset = 5;
constexpr int32_t DataOffset = 7;
constexpr int32_t HeaderOnlyLength = 7;

// A field cut short by blank-skipping must not read past the text; '\0' stands in for the missing
// character because it is a non-digit, which is what a missing character counts as.
char TakeChar(std::string_view& rest) {
  if (rest.empty()) return '\0';
  const char c = rest.front();
  rest.remove_prefix(1);
  return c;
}

uint8_t TakePair(std::string_view& rest) {
  const char first = TakeChar(rest);
  const char second = TakeChar(rest);
  return HexPairToByte(first, second);
}

void SkipBlanks(std::string_view& rest) {
  while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
}

void StoreSum(FrameBuffer& frame, int32_t offset, uint16_t sum) {
  frame[static_cast<size_t>(offset)] = static_cast<uint8_t>(sum & 0xFF);
  frame[static_cast<size_t>(offset) + 1] = static_cast<uint8_t>(sum >> 8);
}

}  // namespace

void BuildSendFrame(std::string_view text, FrameBuffer& frame, int32_t& length) {
  std::string_view rest = text;
  const size_t nonSpace =
      text.size() - static_cast<size_t>(std::count(text.begin(), text.end(), ' '));
  if (nonSpace < AddressCharacters) {
    // Such a line is sent as if "0000 0000 " stood before it. Parsing that prefix yields four zero
    // address bytes and then skips the line's own leading blanks; doing exactly that here saves
    // building the longer text.
    std::fill(frame.begin(), frame.begin() + CountOffset, uint8_t{0});
  } else {
    // Instrument number first in text, node number first on the wire.
    frame[1] = TakePair(rest);
    frame[0] = TakePair(rest);
    SkipBlanks(rest);
    frame[3] = TakePair(rest);
    frame[2] = TakePair(rest);
  }
  SkipBlanks(rest);

  // Blanks are not skipped between data pairs: the client pokes the data as one unbroken run.
  int32_t count = 0;
  while (rest.size() >= 2 && count < MaxDataCount) {
    frame[static_cast<size_t>(DataOffset) + static_cast<size_t>(count)] = TakePair(rest);
    ++count;
  }

  frame[CountOffset] = static_cast<uint8_t>(count);
  StoreSum(frame, HeaderSumOffset, Checksum16(frame, 0, CountOffset));
  if (count > 0) {
    StoreSum(frame, DataOffset + count, Checksum16(frame, DataOffset, DataOffset + count - 1));
    length = DataOffset + count + 2;
  } else {
    // A frame without data carries no data sum.
    length = HeaderOnlyLength;
  }
}

void BuildDumpFrame(std::string_view text, FrameBuffer& frame, int32_t& length) {
  std::string_view rest = text;
  int32_t count = 0;
  while (rest.size() >= 2 && count < FrameCapacity) {
    frame[static_cast<size_t>(count)] = TakePair(rest);
    SkipBlanks(rest);
    ++count;
  }
  length = count;
}
