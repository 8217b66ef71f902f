#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "driver/frames/ReplyDecoder.h"
#include "tests/zelsim/SimTestSupport.h"
#include "tools/zelsim/Replies.h"

namespace zelsim {
namespace {

using testing::Bytes;
using testing::Repeat;
using testing::WorkedFrame;
using testing::WorkedReply;

TEST(BuildReply, WorkedExampleGoesBackToTheSenderFromTheStationWithTheSameData) {
  EXPECT_EQ(BuildReply(Bytes(WorkedFrame), 0x0205), Bytes(WorkedReply));
}

TEST(BuildReply, FrameWithoutDataGetsASevenByteReply) {
  EXPECT_EQ(BuildReply(Bytes("05 02 01 00 00 08 00"), 0x0205), Bytes("01 00 05 02 00 08 00"));
}

TEST(BuildReply, SenderIsTheAnsweringStationNodeByteFirst) {
  // Frame for 0A0B from 0C0D; station 0A0B answers 0C0D.
  EXPECT_EQ(BuildReply(Bytes("0B 0A 0D 0C 01 2F 00 5A 5A 00"), 0x0A0B),
            Bytes("0D 0C 0B 0A 01 2F 00 5A 5A 00"));
}

TEST(BuildReply, FullFrameKeepsBothSumsSixteenBitsWide) {
  const std::string frame = "FF FF FF FF F7 F3 04 " + Repeat("FF ", 247) + "09 F6";
  EXPECT_EQ(BuildReply(Bytes(frame), 0xFFFF), Bytes(frame));
}

struct FaultCase {
  std::string name;
  Fault fault;
  std::vector<std::string> pieces;  // what goes on the line, piece by piece
  std::string decodedText;          // what the driver's decoding makes of it
  std::string indicator;
};

// Shown by the test runner in place of the raw bytes of a row.
void PrintTo(const FaultCase& row, std::ostream* out) { *out << row.name; }

std::vector<FaultCase> FaultCases() {
  return {
      {"None", Fault::None, {WorkedReply}, "0001 0205 1234AB", "received OK"},
      {"BadHeaderSum",
       Fault::BadHeaderSum,
       {"01 00 05 02 03 0C 00 12 34 AB F1 00"},
       "0000",
       "CRC error"},
      {"BadDataSum",
       Fault::BadDataSum,
       {"01 00 05 02 03 0B 00 12 34 AB F2 00"},
       "0000",
       "CRC error"},
      {"Short", Fault::Short, {"01 00 05 02 03 0B 00 12 34"}, "0000", "CRC error"},
      {"Trailing", Fault::Trailing, {WorkedReply + " EE EE"}, "0001 0205 1234AB", "received OK"},
      {"Fragments", Fault::Fragments, {"01", "00 05", "02 03 0B", "00 12 34 AB", "F1 00"}, "", ""},
      {"Silence", Fault::Silence, {}, "", ""},
      {"CountOver247",
       Fault::CountOver247,
       {"01 00 05 02 F8 00 01 12 34 AB F1 00"},
       "0000",
       "CRC error"},
  };
}

class FaultedWorkedReply : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultedWorkedReply, PutsTheseBytesOnTheLine) {
  const FaultCase& c = GetParam();
  const FaultedReply reply = ApplyFault(c.fault, Bytes(WorkedReply));
  ASSERT_EQ(reply.pieces.size(), c.pieces.size());
  for (size_t i = 0; i < c.pieces.size(); ++i) EXPECT_EQ(reply.pieces[i], Bytes(c.pieces[i]));
  EXPECT_EQ(reply.note, "");
}

// The faults exist to exercise the driver, so each one that reaches it in one read must end in
// the outcome it is meant to cause.
class DecodedFaultedReply : public ::testing::TestWithParam<FaultCase> {};

TEST_P(DecodedFaultedReply, EndsInTheIntendedOutcomeOfTheDriversDecoding) {
  const FaultCase& c = GetParam();
  const FaultedReply reply = ApplyFault(c.fault, Bytes(WorkedReply));
  ASSERT_EQ(reply.pieces.size(), 1u);
  FrameBuffer buffer{};
  std::copy(reply.pieces[0].begin(), reply.pieces[0].end(), buffer.begin());
  struct Indicator : StatusSink {
    void SetStatusText(const std::string& text) override { last = text; }
    std::string last;
  } indicator;
  std::string text;
  DecodeReply(buffer, text, static_cast<int32_t>(reply.pieces[0].size()), indicator);
  EXPECT_EQ(text, c.decodedText);
  EXPECT_EQ(indicator.last, c.indicator);
}

// The faults that reach the driver in one read.
std::vector<FaultCase> SingleReadFaultCases() {
  std::vector<FaultCase> cases;
  for (const FaultCase& c : FaultCases()) {
    if (c.pieces.size() == 1) cases.push_back(c);
  }
  return cases;
}

const auto FaultCaseName = [](const ::testing::TestParamInfo<FaultCase>& row) {
  return row.param.name;
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultedWorkedReply, ::testing::ValuesIn(FaultCases()),
                         FaultCaseName);
INSTANTIATE_TEST_SUITE_P(Faults, DecodedFaultedReply, ::testing::ValuesIn(SingleReadFaultCases()),
                         FaultCaseName);

TEST(ApplyFault, ReplyWithoutDataHasNoDataSumToSpoilAndSaysSo) {
  const FaultedReply reply = ApplyFault(Fault::BadDataSum, Bytes("01 00 05 02 00 08 00"));
  ASSERT_EQ(reply.pieces.size(), 1u);
  EXPECT_EQ(reply.pieces[0], Bytes("01 00 05 02 00 08 00"));
  EXPECT_NE(reply.note, "");
}

TEST(ApplyFault, ShortReplyWithoutDataLosesTheLastHeaderByte) {
  const FaultedReply reply = ApplyFault(Fault::Short, Bytes("01 00 05 02 00 08 00"));
  ASSERT_EQ(reply.pieces.size(), 1u);
  EXPECT_EQ(reply.pieces[0], Bytes("01 00 05 02 00 08"));
}

TEST(ApplyFault, FragmentsAreOneToSixBytesAndKeepEveryByteInOrder) {
  std::vector<uint8_t> reply(256);
  for (size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<uint8_t>(i);
  const FaultedReply faulted = ApplyFault(Fault::Fragments, reply);
  std::vector<uint8_t> joined;
  std::vector<size_t> sizes;
  for (const auto& piece : faulted.pieces) {
    EXPECT_GE(piece.size(), 1u);
    EXPECT_LE(piece.size(), 6u);
    sizes.push_back(piece.size());
    joined.insert(joined.end(), piece.begin(), piece.end());
  }
  EXPECT_EQ(joined, reply);
  ASSERT_GE(sizes.size(), 7u);
  EXPECT_EQ(std::vector<size_t>(sizes.begin(), sizes.begin() + 7),
            (std::vector<size_t>{1, 2, 3, 4, 5, 6, 1}));
}

TEST(FaultNames, EveryNameReadsBackAsItsFault) {
  for (Fault fault : {Fault::None, Fault::BadHeaderSum, Fault::BadDataSum, Fault::Short,
                      Fault::Trailing, Fault::Fragments, Fault::Silence, Fault::CountOver247}) {
    const auto back = FaultFromName(FaultName(fault));
    ASSERT_TRUE(back.has_value()) << FaultName(fault);
    EXPECT_EQ(*back, fault);
  }
  EXPECT_FALSE(FaultFromName("Short").has_value());
  EXPECT_FALSE(FaultFromName("").has_value());
}

}  // namespace
}  // namespace zelsim
