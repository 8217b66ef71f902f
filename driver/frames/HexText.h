#pragma once

#include <cstdint>
#include <string>

namespace zel {

// The only hexadecimal digits read or written: "0123456789ABCDEF" (uppercase only).
extern const char HexDigits[];

// Index of c in HexDigits (0 to 15); -1 for every other character, lowercase letters included.
int HexDigitValue(char c);

// 16 * value(first) + value(second), low eight bits, with -1 for a non-digit.
// Never rejects a pair: "1G" -> 0x0F, "ab" -> 0xEF, "0 " -> 0xFF.
uint8_t HexPairToByte(char first, char second);

// True for every character whose code, taken as unsigned, is 0x20 or less.
bool IsBlank(char c);

// Appends the byte as two uppercase digits, high four bits first (0x07 -> "07").
void AppendHexByte(std::string& text, uint8_t byte);

}  // namespace zel
