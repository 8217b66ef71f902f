#include <gtest/gtest.h>

#include <string>

#include "driver/frames/HexText.h"
#include "tests/frames/FrameTestSupport.h"

namespace {

TEST(HexText, DigitsAreExactlyTheSixteenUppercaseCharacters) {
  EXPECT_EQ(std::string(HexDigits), "0123456789ABCDEF");
}

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

struct PairCase {
  const char* name;
  char first;
  char second;
  uint8_t expected;
};

class HexPair : public ::testing::TestWithParam<PairCase> {};

TEST_P(HexPair, NeverRejectsAndTakesNonDigitsAsMinusOne) {
  const PairCase& c = GetParam();
  EXPECT_EQ(HexPairToByte(c.first, c.second), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, HexPair,
    ::testing::Values(
        PairCase{"TwoDigits", '1', '2', 0x12}, PairCase{"Zero", '0', '0', 0x00},
        PairCase{"Highest", 'F', 'F', 0xFF}, PairCase{"Mixed", 'A', '7', 0xA7},
        PairCase{"NonDigitSecond", '1', 'G', 0x0F}, PairCase{"NonDigitFirst", 'G', '1', 0xF1},
        PairCase{"LowercaseBoth", 'a', 'b', 0xEF}, PairCase{"SpaceSecond", '0', ' ', 0xFF},
        PairCase{"SpaceFirst", ' ', 'B', 0xFB}, PairCase{"NulBoth", '\0', '\0', 0xEF},
        PairCase{"HighCharacterCodes", static_cast<char>(0xC4), static_cast<char>(0xFF), 0xEF}),
    CaseName());

struct RenderCase {
  const char* name;
  uint8_t byte;
  const char* expected;
};

class HexRender : public ::testing::TestWithParam<RenderCase> {};

TEST_P(HexRender, WritesTwoUppercaseDigitsHighNibbleFirst) {
  const RenderCase& c = GetParam();
  std::string text;
  AppendHexByte(text, c.byte);
  EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Bytes, HexRender,
                         ::testing::Values(RenderCase{"Zero", 0x00, "00"},
                                           RenderCase{"LeadingZeroKept", 0x07, "07"},
                                           RenderCase{"UppercaseLetters", 0x5A, "5A"},
                                           RenderCase{"BothLetters", 0xAB, "AB"},
                                           RenderCase{"Highest", 0xFF, "FF"},
                                           RenderCase{"HighNibbleOnly", 0xF0, "F0"}),
                         CaseName());

TEST(HexText, AppendingKeepsTheTextAlreadyThere) {
  std::string text = "0205 ";
  AppendHexByte(text, 0x01);
  AppendHexByte(text, 0xC3);
  EXPECT_EQ(text, "0205 01C3");
}

}  // namespace
