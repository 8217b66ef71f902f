#include "driver/frames/HexText.h"

namespace zel {

const char HexDigits[] = "0123456789ABCDEF";

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint8_t HexPairToByte(char first, char second) {
  // Non-digits take part as -1, so the sum can be negative; the conversion keeps its low eight
  // bits (two's complement), which is the byte the instruments expect for such text.
  const int value = 16 * HexDigitValue(first) + HexDigitValue(second);
  return static_cast<uint8_t>(value & 0xFF);
}

bool IsBlank(char c) {
  // char may be signed: bytes 0x80 to 0xFF must not count as blanks.
  return static_cast<unsigned char>(c) <= 0x20;
}

void AppendHexByte(std::string& text, uint8_t byte) {
  text.push_back(HexDigits[byte >> 4]);
  text.push_back(HexDigits[byte & 0x0F]);
}

}  // namespace zel
