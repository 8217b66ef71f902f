// Character classes of the hex text; the pair and byte conversions built on them show in the
// frame building and reply decoding tables.
#include <gtest/gtest.h>

#include <string>

#include "driver/frames/HexText.h"

namespace zel {

namespace {

TEST(HexText, OnlyUppercaseDigitsHaveAValueEveryOtherCharacterIsMinusOne) {
  const std::string digits = "0123456789ABCDEF";
  for (int code = 0; code < 256; ++code) {
    const char c = static_cast<char>(code);
    const size_t index = digits.find(c);
    const int expected = index == std::string::npos ? -1 : static_cast<int>(index);
    EXPECT_EQ(HexDigitValue(c), expected) << "character code " << code;
  }
}

TEST(HexText, BlanksAreCodesUpToSpaceIncludingControlCharacters) {
  for (int code = 0; code < 256; ++code) {
    EXPECT_EQ(IsBlank(static_cast<char>(code)), code <= 0x20) << "character code " << code;
  }
}

// Characters above 0x7F are no digits either, whatever the signedness of char.
TEST(HexText, PairOfNonDigitsTakesEachAsMinusOne) {
  EXPECT_EQ(HexPairToByte(static_cast<char>(0xC4), '1'), 0xF1);
  EXPECT_EQ(HexPairToByte('1', static_cast<char>(0xFF)), 0x0F);
}

}  // namespace

}  // namespace zel
