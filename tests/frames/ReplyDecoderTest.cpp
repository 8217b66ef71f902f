#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/frames/ReplyDecoder.h"
#include "tests/frames/FrameTestSupport.h"

namespace zel {

namespace {

const std::string OneDataByteReply = "00 00 05 02 01 08 00 5A 5A 00";
const std::string FullReply = "FF FF FF FF F7 F3 04 " + Repeat("FF ", 247) + "09 F6";

struct ReplyCase {
  std::string name;
  std::string bytes;  // read into a cleared buffer from position 0
  int32_t length;
  std::string text;
  std::string indicator;
};

std::vector<ReplyCase> ReplyCases() {
  return {
      {"OneDataByte", OneDataByteReply, 10, "0000 0205 5A", "received OK"},
      {"BytesAfterTheDataSumIgnored", OneDataByteReply + " 77 88", 12, "0000 0205 5A",
       "received OK"},
      {"AddressesReadInstrumentFirst", "05 02 01 00 03 0B 00 12 34 AB F1 00", 12,
       "0205 0001 1234AB", "received OK"},
      {"LettersRenderedUppercase", "0A 0B 0C 0D 00 2E 00", 7, "0B0A 0D0C ", "received OK"},
      {"SevenZeroBytesAreAnEmptyFrame", "00 00 00 00 00 00 00", 7, "0000 0000 ", "received OK"},
      {"NoDataMeansNoDataSumIsRead", "05 02 01 00 00 08 00 FF FF", 9, "0205 0001 ", "received OK"},
      {"ShortReadCheckedAgainstTheClearedBuffer", "00 00 05 02 03 0A 00 00", 8, "0000 0205 000000",
       "received OK"},
      {"Full247DataBytes", FullReply, 256, "FFFF FFFF " + Repeat("FF", 247), "received OK"},
      {"DataByteChanged", "00 00 05 02 01 08 00 5B 5A 00", 10, "0000", "CRC error"},
      {"HeaderSumHighByteChanged", "00 00 05 02 01 08 01 5A 5A 00", 10, "0000", "CRC error"},
      {"AddressByteChanged", "00 01 05 02 01 08 00 5A 5A 00", 10, "0000", "CRC error"},
      {"DataSumHighByteChanged", "00 00 05 02 01 08 00 5A 5A 01", 10, "0000", "CRC error"},
      {"DataSumNotSixteenBitsWide", "00 00 00 00 02 02 00 80 80 00 00", 11, "0000", "CRC error"},
      // Such a frame cannot fit the buffer: its data sum would lie beyond position 255. The zero
      // bytes around the buffer would complete it, so reading there would turn these into OKs.
      {"CountByte248", "00 00 00 00 F8 F8 00", 256, "0000", "CRC error"},
      {"CountByte255", "00 00 00 00 FF FF 00", 256, "0000", "CRC error"},
      {"CountByte255WithDataOfFF", "FF FF FF FF FF FB 04 " + Repeat("FF ", 249), 256, "0000",
       "CRC error"},
      {"NothingRead", OneDataByteReply, 0, "00", "no answer"},
      {"NegativeLengthCountsAsNothingRead", OneDataByteReply, -1, "00", "no answer"},
  };
}

class DecodedReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(DecodedReply, GivesTheTextAndSetsTheIndicatorOnce) {
  const ReplyCase& c = GetParam();
  const GuardedFrame frame = Guarded(BufferOf(c.bytes), 0x00);
  std::string text = "stale text";
  EXPECT_EQ(DecodeReply(frame.Bytes, text, c.length), c.indicator);
  EXPECT_EQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(Replies, DecodedReply, ::testing::ValuesIn(ReplyCases()), CaseName());

struct DumpCase {
  std::string name;
  FrameBuffer bytes;
  int32_t count;
  std::string text;
  std::string indicator;
};

FrameBuffer CountingBytes() {
  FrameBuffer bytes;
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

std::string CountingText() {
  std::string text;
  const char* digits = "0123456789ABCDEF";
  for (int i = 0; i < 256; ++i) {
    text += digits[i / 16];
    text += digits[i % 16];
    text += ' ';
  }
  return text;
}

std::vector<DumpCase> DumpCases() {
  return {
      {"TenBytes", BufferOf(OneDataByteReply), 10, "00 00 05 02 01 08 00 5A 5A 00 ",
       "received 10b"},
      {"NoBytes", BufferOf(OneDataByteReply), 0, "--", "received 0b"},
      {"OneByteUppercase", BufferOf("AB"), 1, "AB ", "received 1b"},
      {"NoCheckOfAnyKind", BufferOf("00 00 00 00 05 00 00"), 5, "00 00 00 00 05 ", "received 5b"},
      {"WholeBuffer", CountingBytes(), 256, CountingText(), "received 256b"},
      {"CountAboveTheBufferClamped", CountingBytes(), 300, CountingText(), "received 256b"},
      {"NegativeCountClamped", CountingBytes(), -5, "--", "received 0b"},
  };
}

class DecodedDump : public ::testing::TestWithParam<DumpCase> {};

TEST_P(DecodedDump, ShowsEveryByteFollowedByASpaceAndTheByteCount) {
  const DumpCase& c = GetParam();
  std::string text = "stale text";
  EXPECT_EQ(DecodeDump(c.bytes, text, c.count), c.indicator);
  EXPECT_EQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(Dumps, DecodedDump, ::testing::ValuesIn(DumpCases()), CaseName());

struct EchoCase {
  const char* name;
  const char* written;
  const char* read;
  int32_t count;
  bool matches;
};

class Echo : public ::testing::TestWithParam<EchoCase> {};

TEST_P(Echo, MatchesOnlyWhenTheFirstCountBytesAreEqual) {
  const EchoCase& c = GetParam();
  // Different guards: a comparison past the buffers would see a difference.
  const GuardedFrame written = Guarded(BufferOf(c.written, 0x5A), 0x11);
  const GuardedFrame read = Guarded(BufferOf(c.read, 0x5A), 0x22);
  EXPECT_EQ(EchoMatches(written.Bytes, read.Bytes, c.count), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, Echo,
    ::testing::Values(
        EchoCase{"ZeroCountAlwaysMatches", "05 02 01", "99 98 97", 0, true},
        EchoCase{"NegativeCountAlwaysMatches", "05 02 01", "99 98 97", -3, true},
        EchoCase{"EqualBytes", "05 02 01 00 00 08 00", "05 02 01 00 00 08 00", 7, true},
        EchoCase{"DifferenceAfterTheCountIgnored", "05 02 01", "05 02 01 44", 3, true},
        EchoCase{"DifferenceAtTheFirstByte", "05 02 01", "06 02 01", 3, false},
        EchoCase{"DifferenceAtTheLastCountedByte", "05 02 01", "05 02 00", 3, false},
        // Positions the last read did not reach still take part with what they hold.
        EchoCase{"OldBufferContentTakesPart", "05 02 5A", "05 02", 3, true},
        EchoCase{"CountAboveTheBufferComparesTheWholeBuffer", "", "", 1000, true}),
    CaseName());

TEST(Echo, DifferenceAtTheLastBufferPositionIsSeenAtAnyCountReachingIt) {
  FrameBuffer written;
  written.fill(0x5A);
  FrameBuffer read = written;
  read[255] = 0x00;
  EXPECT_TRUE(EchoMatches(written, read, 255));
  EXPECT_FALSE(EchoMatches(written, read, 256));
  EXPECT_FALSE(EchoMatches(written, read, 1000));
}

}  // namespace

}  // namespace zel
