#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/zelsim/SimTestSupport.h"
#include "tools/zelsim/FrameScanner.h"

namespace zel::sim {
namespace {

using test::Bytes;
using test::Repeat;
using test::WorkedDump;
using test::WorkedFrame;

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
  std::string events;               // as Describe writes them, before the line falls silent
  std::string atSilence;            // what the silence then flushes out
};

// Shown by the test runner in place of the raw bytes of a row.
void PrintTo(const ScanCase& row, std::ostream* out) { *out << row.name; }

const std::string NoData = "05 02 01 00 00 08 00";
const std::string Cut = "05 02 01 00 03 0B 00 12 34";
const std::string MaxFrame = "05 02 01 00 F7 FF 00 " + Repeat("FF ", 247) + "09 F6";
const std::string BadHeaderSum = "05 02 01 00 03 0B 01 12 34 AB F1 00";
const std::string BadDataSum = "05 02 01 00 03 0B 00 12 34 AB F2 00";
const std::string CountOver247 = "00 00 00 00 F8 F8 00";

std::vector<ScanCase> ScanCases() {
  return {
      {"WorkedFrame", {WorkedFrame}, "F: " + WorkedFrame, ""},
      {"FrameWithoutDataIsSevenBytes", {NoData}, "F: " + NoData, ""},
      {"FrameWith247DataBytes", {MaxFrame}, "F: " + MaxFrame, ""},
      {"CutShortFrameWaitsThenIsGarbage", {Cut}, "", "G: " + Cut},
      {"DumpFrameIsGarbage", {WorkedDump}, "", "G: " + WorkedDump},
      {"FewerThanSevenBytesAreGarbage", {"05 02 01"}, "", "G: 05 02 01"},
      {"GarbageArrivingAloneThenAFrame",
       {"FF", "00", WorkedFrame},
       "G: FF 00 | F: " + WorkedFrame,
       ""},
      {"TwoFramesBackToBack",
       {WorkedFrame + " " + NoData},
       "F: " + WorkedFrame + " | F: " + NoData,
       ""},
      {"BytesAfterAFrameWaitForMore", {WorkedFrame + " 77"}, "F: " + WorkedFrame, "G: 77"},
      {"HeaderSumHighByteWrongIsNoHeader", {BadHeaderSum}, "", "G: " + BadHeaderSum},
      // A count above 247 cannot fit the driver's buffers: such a header starts no frame.
      {"CountAbove247IsNoHeader",
       {CountOver247 + " " + WorkedFrame},
       "G: " + CountOver247 + " | F: " + WorkedFrame,
       ""},
      // The data sum is the instrument's business once the header holds: the frame is taken.
      {"WrongDataSumStillAFrame", {BadDataSum}, "F: " + BadDataSum, ""},
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
  EXPECT_EQ(Describe(events), c.events);
  EXPECT_EQ(Describe(scanner.Flush()), c.atSilence);
  EXPECT_TRUE(scanner.Empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ScannedStream, ::testing::ValuesIn(ScanCases()),
                         [](const ::testing::TestParamInfo<ScanCase>& row) {
                           return row.param.name;
                         });

TEST(FrameScanner, FrameFedInPiecesIsReportedOnceWithItsLastByte) {
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

}  // namespace
}  // namespace zel::sim
