#include "driver/frames/FrameBuilder.h"

#include <algorithm>
#include <cstddef>

#include "driver/frames/HexText.h"

namespace zel {

namespace {

constexpr size_t AddressCharacters = 8;

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

}  // namespace

void BuildSendFrame(std::string_view text, FrameBuffer& frame, int32_t& length) {
  std::string_view rest = text;
  const size_t nonSpace =
      text.size() - static_cast<size_t>(std::count(text.begin(), text.end(), ' '));
  if (nonSpace < AddressCharacters) {
    // Such a line is sent as if "0000 0000 " stood before it. Parsing that prefix yields four zero
    // address bytes and then skips the line's own leading blanks; doing exactly that here saves
    // building the longer text.
    std::fill_n(frame.begin(), frame::CountOffset, uint8_t{0});
  } else {
    // Instrument number first in text, node number first on the wire.
    frame[frame::AddresseeOffset + 1] = TakePair(rest);
    frame[frame::AddresseeOffset] = TakePair(rest);
    SkipBlanks(rest);
    frame[frame::SenderOffset + 1] = TakePair(rest);
    frame[frame::SenderOffset] = TakePair(rest);
  }
  SkipBlanks(rest);

  // Blanks are not skipped between data pairs: the client pokes the data as one unbroken run.
  size_t count = 0;
  while (rest.size() >= 2 && count < frame::MaxDataCount) {
    frame[frame::DataOffset + count] = TakePair(rest);
    ++count;
  }

  frame[frame::CountOffset] = static_cast<uint8_t>(count);
  frame::WriteU16(&frame[frame::HeaderSumOffset],
                  frame::Checksum16(frame.data(), frame::CountOffset + 1));
  // A frame without data carries no data sum.
  if (count > 0) {
    frame::WriteU16(&frame[frame::DataOffset + count],
                    frame::Checksum16(&frame[frame::DataOffset], count));
  }
  length = static_cast<int32_t>(frame::FrameLength(count));
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

}  // namespace zel
