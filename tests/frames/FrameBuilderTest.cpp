#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/frames/FrameBuilder.h"
#include "tests/frames/FrameTestSupport.h"

namespace zel {

namespace {

constexpr uint8_t Untouched = 0xCC;

struct BuildCase {
  std::string name;
  std::string text;
  std::string expected;  // the whole image, as hexadecimal bytes
};

// The image must be exactly the expected bytes, its length their number, and nothing after it
// may be written.
void ExpectImage(const FrameBuffer& frame, int32_t length, const std::string& expectedHex) {
  const std::vector<uint8_t> expected = ParseBytes(expectedHex);
  ASSERT_EQ(length, static_cast<int32_t>(expected.size()));
  const std::vector<uint8_t> built(frame.begin(), frame.begin() + length);
  EXPECT_EQ(built, expected);
  for (size_t position = expected.size(); position < frame.size(); ++position) {
    EXPECT_EQ(frame[position], Untouched) << "written beyond the image at " << position;
  }
}

const std::string WorkedExampleFrame = "05 02 01 00 03 0B 00 12 34 AB F1 00";

std::vector<BuildCase> SendCases() {
  return {
      {"WorkedExample", "0205 0001 1234AB", WorkedExampleFrame},
      {"NoBlankBeforeData", "0205 00011234AB", WorkedExampleFrame},
      {"AnyBlanksBetweenFields", "0205\t \r\n0001  \t1234AB", WorkedExampleFrame},
      {"SingleTrailingBlankDroppedLikeAnOddDigit", "0205 0001 1234AB ", WorkedExampleFrame},
      {"TrailingBlankPairIsADataByte", "0205 0001 1234AB \t",
       "05 02 01 00 04 0C 00 12 34 AB EF E0 01"},
      {"ExactlyEightNonSpaceCharactersGiveAddressesOnly", "0205 0001", "05 02 01 00 00 08 00"},
      {"SixNonSpaceCharactersAreDataToStationZero", "1234AB",
       "00 00 00 00 03 03 00 12 34 AB F1 00"},
      // The short text is data as given, its spaces included: "12", " 3", then "4" is dropped.
      {"ShortTextKeepsItsSpacesInsideTheData", "12 34", "00 00 00 00 02 02 00 12 F3 05 01"},
      {"ShortTextLosesItsLeadingBlanks", "  \tAB", "00 00 00 00 01 01 00 AB AB 00"},
      {"EmptyTextIsAnEmptyFrameToStationZero", "", "00 00 00 00 00 00 00"},
      {"TrailingOddDigitDropped", "0205 0001 12345", "05 02 01 00 02 0A 00 12 34 46 00"},
      {"LowercaseIsNonDigit", "0205 0001 ff", "05 02 01 00 01 09 00 EF EF 00"},
      {"BlankInsideDataIsNonDigit", "0205 0001 AA BB", "05 02 01 00 02 0A 00 AA FB A5 01"},
      {"LeadingBlankIsReadIntoTheAddressee", " 205 0001 1234AB",
       "05 F2 01 00 03 FB 00 12 34 AB F1 00"},
      // Control characters count as non-space but are skipped as blanks, so the sender field can
      // run out of text; missing characters read as non-digits.
      {"SenderFieldWithNoCharactersLeft", "0205\t\t\t\t", "05 02 EF EF 00 E5 01"},
      {"SenderFieldWithOneCharacterLeft", "0205\t\t\t1", "05 02 EF 0F 00 05 01"},
      {"FullFrameOf247DataBytes", "FFFF FFFF" + Repeat("FF", 247),
       "FF FF FF FF F7 F3 04 " + Repeat("FF ", 247) + "09 F6"},
      {"PairsBeyond247DataBytesIgnored", "0205 0001 " + Repeat("01", 247) + "FF",
       "05 02 01 00 F7 FF 00 " + Repeat("01 ", 247) + "F7 00"},
      {"FarTooLongTextStillFillsOnlyTheFrame", "0205 0001 " + Repeat("01", 1000) + "7",
       "05 02 01 00 F7 FF 00 " + Repeat("01 ", 247) + "F7 00"},
  };
}

std::vector<BuildCase> DumpCases() {
  return {
      {"SendTextKeepsAddressDigitsAsWritten", "0205 0001 1234AB", "02 05 00 01 12 34 AB"},
      {"AnyBlanksBetweenPairsSkipped", "12\t\r\n 34  AB", "12 34 AB"},
      {"PairsWithoutBlanks", "1234AB", "12 34 AB"},
      {"EmptyTextGivesNoBytes", "", ""},
      {"BlankBeforeFirstPairIsNonDigit", " 12", "F1"},
      {"BlankInsidePairIsNonDigit", "1 2", "0F"},
      {"TrailingOddDigitDropped", "12345", "12 34"},
      {"TrailingBlanksIgnored", "12   ", "12"},
      {"LowercaseIsNonDigit", "ab", "EF"},
      {"Full256Bytes", Repeat("AB ", 256), Repeat("AB ", 256)},
      {"PairsBeyond256BytesIgnored", Repeat("11", 256) + "22", Repeat("11 ", 256)},
  };
}

class SendFrame : public ::testing::TestWithParam<BuildCase> {};

TEST_P(SendFrame, IsBuiltFromTheTextAndNothingElseIsWritten) {
  const BuildCase& c = GetParam();
  FrameBuffer frame;
  frame.fill(Untouched);
  int32_t length = -1;
  BuildSendFrame(c.text, frame, length);
  ExpectImage(frame, length, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, SendFrame, ::testing::ValuesIn(SendCases()), CaseName());

class DumpFrame : public ::testing::TestWithParam<BuildCase> {};

TEST_P(DumpFrame, IsTheRawBytesAndOldContentAfterThemStays) {
  const BuildCase& c = GetParam();
  FrameBuffer frame;
  frame.fill(Untouched);
  int32_t length = -1;
  BuildDumpFrame(c.text, frame, length);
  ExpectImage(frame, length, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, DumpFrame, ::testing::ValuesIn(DumpCases()), CaseName());

// The views end inside longer texts; the characters after them must not reach the frames.
TEST(FrameBuilding, ReadsNothingBeyondTheTextItIsGiven) {
  const std::string backing = "0205\t\t\t12345";
  FrameBuffer frame;
  frame.fill(Untouched);
  int32_t length = -1;
  BuildSendFrame(std::string_view(backing.data(), 8), frame, length);
  ExpectImage(frame, length, "05 02 EF 0F 00 05 01");
  frame.fill(Untouched);
  BuildDumpFrame(std::string_view(backing.data() + 7, 3), frame, length);
  ExpectImage(frame, length, "12");
}

}  // namespace

}  // namespace zel
