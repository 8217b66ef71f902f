#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/frames/ReplyDecoder.h"
#include "tests/frames/FrameTestSupport.h"
#include "tests/zelsim/SimTestSupport.h"
#include "tools/zelsim/Replies.h"

namespace zel::sim {
namespace {

using test::Bytes;
using test::Repeat;
using test::WorkedFrame;
using test::WorkedReply;

// The reply goes back to the sender, from the answering station, with the frame's data.
TEST(BuildReply, SwapsTheAddressesAndKeepsTheData) {
  const std::string fullFrame = "FF FF FF FF F7 F3 04 " + Repeat("FF ", 247) + "09 F6";
  const struct {
    std::string frame;
    uint16_t station;
    std::string reply;
  } rows[] = {
      {WorkedFrame, 0x0205, WorkedReply},
      {"05 02 01 00 00 08 00", 0x0205, "01 00 05 02 00 08 00"},
      // Frame for 0A0B from 0C0D: the node byte goes first on the wire.
      {"0B 0A 0D 0C 01 2F 00 5A 5A 00", 0x0A0B, "0D 0C 0B 0A 01 2F 00 5A 5A 00"},
      // Both sums stay sixteen bits wide.
      {fullFrame, 0xFFFF, fullFrame},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(BuildReply(Bytes(row.frame), row.station), Bytes(row.reply));
  }
}

// Each fault's bytes on the line and, where they reach the driver in one read, the outcome of
// its decoding that the fault exists to cause.
TEST(ApplyFault, SpoilsTheWorkedReplyAsTheDriverIsMeantToSeeIt) {
  const struct {
    Fault fault;
    std::vector<std::string> pieces;
    std::string decodedText;
    std::string indicator;
  } rows[] = {
      {Fault::None, {WorkedReply}, "0001 0205 1234AB", "received OK"},
      {Fault::BadHeaderSum, {"01 00 05 02 03 0C 00 12 34 AB F1 00"}, "0000", "CRC error"},
      {Fault::BadDataSum, {"01 00 05 02 03 0B 00 12 34 AB F2 00"}, "0000", "CRC error"},
      {Fault::Short, {"01 00 05 02 03 0B 00 12 34"}, "0000", "CRC error"},
      {Fault::Trailing, {WorkedReply + " EE EE"}, "0001 0205 1234AB", "received OK"},
      {Fault::Fragments, {"01", "00 05", "02 03 0B", "00 12 34 AB", "F1 00"}, "", ""},
      {Fault::Silence, {}, "", ""},
      {Fault::CountOver247, {"01 00 05 02 F8 00 01 12 34 AB F1 00"}, "0000", "CRC error"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(FaultName(row.fault));
    const FaultedReply reply = ApplyFault(row.fault, Bytes(WorkedReply));
    ASSERT_EQ(reply.pieces.size(), row.pieces.size());
    for (size_t i = 0; i < row.pieces.size(); ++i) EXPECT_EQ(reply.pieces[i], Bytes(row.pieces[i]));
    EXPECT_EQ(reply.note, "");
    if (row.pieces.size() != 1) continue;
    std::string text;
    EXPECT_EQ(DecodeReply(BufferOf(row.pieces[0]), text, static_cast<int32_t>(reply.pieces[0].size())),
              row.indicator);
    EXPECT_EQ(text, row.decodedText);
  }
}

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

}  // namespace
}  // namespace zel::sim
