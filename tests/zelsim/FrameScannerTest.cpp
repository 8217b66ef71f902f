#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/zelsim/SimTestSupport.h"
#include "tools/zelsim/FrameScanner.h"

namespace zelsim {
namespace {

using testing::Bytes;
using testing::Repeat;
using testing::WorkedDump;
using testing::WorkedFrame;

// "F" a frame, "G" garbage, then the bytes.
std::string Describe(const std::vector<ScanEvent>& events) {
  std::string text;
  for (const ScanEvent& event : events) {
    if (!text.empty()) text += " | ";
    text += event.kind == ScanEvent::Kind::Frame ? "F:" : "G:";
    for (uint8_t byte : event.bytes) {
      static const char Digits[] = "0123456789ABCDEF";
      text += ' ';
      text += Digits[byte >> 4];
      text += Digits[byte & 0x0F];
    }
  }
  return text;
}

struct ScanCase {
  std::string name;
  std::vector<std::string> chunks;  // fed one after the other
  bool silenceAfter;                // the line falls silent after the last chunk
  std::string events;               // as Describe writes them
};

// Shown by the test runner in place of the raw bytes of a row.
void PrintTo(const ScanCase& row, std::ostream* out) { *out << row.name; }

const std::string MaxFrame = "05 02 01 00 F7 FF 00 " + Repeat("FF ", 247) + "09 F6";

std::vector<ScanCase> ScanCases() {
  return {
      {"WorkedFrameInOneChunk", {WorkedFrame}, false, "F: " + WorkedFrame},
      {"FrameWithoutDataIsSevenBytes", {"05 02 01 00 00 08 00"}, false, "F: 05 02 01 00 00 08 00"},
      {"FrameWith247DataBytes", {MaxFrame}, false, "F: " + MaxFrame},
      {"FrameSplitInsideTheHeader",
       {"05 02 01", "00 03 0B 00 12 34 AB F1 00"},
       false,
       "F: " + WorkedFrame},
      {"FrameSplitInsideTheDataSum",
       {"05 02 01 00 03 0B 00 12 34 AB F1", "00"},
       false,
       "F: " + WorkedFrame},
      {"IncompleteFrameWaitsForTheRest", {"05 02 01 00 03 0B 00 12 34"}, false, ""},
      {"IncompleteFrameIsGarbageOnceTheLineIsSilent",
       {"05 02 01 00 03 0B 00 12 34"},
       true,
       "G: 05 02 01 00 03 0B 00 12 34"},
      {"DumpFrameIsGarbage", {WorkedDump}, true, "G: " + WorkedDump},
      {"FewerThanSevenBytesAreGarbage", {"05 02 01"}, true, "G: 05 02 01"},
      {"GarbageBeforeAFrameIsSkipped",
       {"FF 00 " + WorkedFrame},
       false,
       "G: FF 00 | F: " + WorkedFrame},
      {"GarbageArrivingAloneThenAFrame",
       {"FF", "00", WorkedFrame},
       false,
       "G: FF 00 | F: " + WorkedFrame},
      {"TwoFramesBackToBack",
       {WorkedFrame + " 05 02 01 00 00 08 00"},
       false,
       "F: " + WorkedFrame + " | F: 05 02 01 00 00 08 00"},
      {"BytesAfterAFrameWaitForMore", {WorkedFrame + " 77"}, false, "F: " + WorkedFrame},
      {"BytesAfterAFrameAreGarbageAtSilence",
       {WorkedFrame + " 77"},
       true,
       "F: " + WorkedFrame + " | G: 77"},
      {"HeaderSumHighByteWrongIsNoHeader",
       {"05 02 01 00 03 0B 01 12 34 AB F1 00"},
       true,
       "G: 05 02 01 00 03 0B 01 12 34 AB F1 00"},
      // A count above 247 cannot fit the driver's buffers: such a header starts no frame.
      {"CountAbove247IsNoHeader",
       {"00 00 00 00 F8 F8 00 01 02"},
       true,
       "G: 00 00 00 00 F8 F8 00 01 02"},
      // The data sum is the instrument's business once the header holds: the frame is taken.
      {"WrongDataSumStillAFrame",
       {"05 02 01 00 03 0B 00 12 34 AB F2 00"},
       false,
       "F: 05 02 01 00 03 0B 00 12 34 AB F2 00"},
  };
}

class ScannedStream : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScannedStream, YieldsFramesAndGarbageInOrder) {
  const ScanCase& c = GetParam();
  FrameScanner scanner;
  std::vector<ScanEvent> events;
  for (const std::string& chunk : c.chunks) {
    const std::vector<uint8_t> bytes = Bytes(chunk);
    const auto more = scanner.Feed(bytes.data(), bytes.size());
    events.insert(events.end(), more.begin(), more.end());
  }
  if (c.silenceAfter) {
    const auto more = scanner.Flush();
    events.insert(events.end(), more.begin(), more.end());
    EXPECT_TRUE(scanner.Empty());
  }
  EXPECT_EQ(Describe(events), c.events);
}

INSTANTIATE_TEST_SUITE_P(Cases, ScannedStream, ::testing::ValuesIn(ScanCases()),
                         [](const ::testing::TestParamInfo<ScanCase>& row) {
                           return row.param.name;
                         });

TEST(FrameScanner, FrameFedByteByByteIsReportedOnceWithItsLastByte) {
  const std::vector<uint8_t> frame = Bytes(WorkedFrame);
  for (size_t split = 1; split < frame.size(); ++split) {
    SCOPED_TRACE("split after byte " + std::to_string(split));
    FrameScanner scanner;
    EXPECT_TRUE(scanner.Feed(frame.data(), split).empty());
    EXPECT_FALSE(scanner.Empty());
    const auto events = scanner.Feed(frame.data() + split, frame.size() - split);
    EXPECT_EQ(Describe(events), "F: " + WorkedFrame);
    EXPECT_TRUE(scanner.Empty());
  }
  FrameScanner scanner;
  for (size_t i = 0; i + 1 < frame.size(); ++i) EXPECT_TRUE(scanner.Feed(&frame[i], 1).empty());
  EXPECT_EQ(Describe(scanner.Feed(&frame.back(), 1)), "F: " + WorkedFrame);
}

TEST(FrameScanner, LongGarbageIsReportedInPiecesOfAtMost256Bytes) {
  const std::vector<uint8_t> noise(600, 0xFF);
  FrameScanner scanner;
  auto events = scanner.Feed(noise.data(), noise.size());
  const auto rest = scanner.Flush();
  events.insert(events.end(), rest.begin(), rest.end());
  size_t total = 0;
  for (const ScanEvent& event : events) {
    EXPECT_EQ(event.kind, ScanEvent::Kind::Garbage);
    EXPECT_LE(event.bytes.size(), 256u);
    total += event.bytes.size();
  }
  EXPECT_EQ(total, noise.size());
}

TEST(FrameScanner, HeaderLengthFollowsTheCountByte) {
  EXPECT_EQ(FrameLengthFromHeader(Bytes(WorkedFrame)), 12u);
  EXPECT_EQ(FrameLengthFromHeader(Bytes("05 02 01 00 00 08 00")), 7u);
  EXPECT_EQ(FrameLengthFromHeader(Bytes(MaxFrame)), 256u);
  EXPECT_EQ(FrameLengthFromHeader(Bytes("05 02 01 00 00 08")), 0u);
  EXPECT_EQ(FrameLengthFromHeader(Bytes("00 00 00 00 FF FF 00")), 0u);
}

}  // namespace
}  // namespace zelsim
