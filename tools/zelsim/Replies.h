#pragma once
// What an instrument answers, and how a fault spoils the answer.

#include <cstdint>
#include <string>
#include <vector>

#include "driver/frames/FrameLayout.h"
#include "tools/zelsim/SimConfig.h"

namespace zel::sim {

// The data count of a whole frame: 0 for a frame that is only a header.
size_t DataCountOf(const std::vector<uint8_t>& frame);

// Station addresses of a whole frame: node byte first on the wire.
uint16_t AddresseeOf(const std::vector<uint8_t>& frame);
uint16_t SenderOf(const std::vector<uint8_t>& frame);

// Whether the data sum of a whole frame with data matches its data bytes.
bool DataSumMatches(const std::vector<uint8_t>& frame);

// The instrument's answer to a whole frame (as FrameScanner delivers it): addressed to the
// frame's sender, sent by the station, carrying the frame's data bytes back with fresh sums.
std::vector<uint8_t> BuildReply(const std::vector<uint8_t>& frame, uint16_t station);

// A reply as it goes onto the line: one or more pieces, each but the first sent the fragment gap
// after the one before it. No pieces means no reply.
struct FaultedReply {
  std::vector<std::vector<uint8_t>> pieces;
  std::string note;  // why the fault changed nothing, when it could not apply; else empty
};

// Applies the fault to a reply built by BuildReply:
//   bad-header-sum  the low byte of the header sum is one higher
//   bad-data-sum    the low byte of the data sum is one higher (a reply without data is unchanged)
//   short           the last data byte and the data sum are missing, so the count announces more
//                   than follows (a reply without data loses the last byte of its header)
//   trailing        two bytes EE EE follow the data sum
//   fragments       pieces of 1, 2, 3, 4, 5, 6, 1, 2 ... bytes
//   silence         no reply at all
//   count-over-247  the count byte is 248 (F8) with the header sum made to match; data and data
//                   sum stay as they were
FaultedReply ApplyFault(Fault fault, std::vector<uint8_t> reply);

// The sizes of the pieces of a fragmented reply: 1, 2, 3, 4, 5, 6, then from 1 again.
std::vector<std::vector<uint8_t>> SplitIntoFragments(const std::vector<uint8_t>& bytes);

// The extra bytes of the "trailing" fault.
constexpr uint8_t TrailingByte = 0xEE;

// The count byte of the "count-over-247" fault: one more than a frame can hold.
constexpr uint8_t CountAbove247 = static_cast<uint8_t>(frame::MaxDataCount + 1);

}  // namespace zel::sim
