#include "tools/zelsim/Replies.h"

#include <algorithm>

namespace zel::sim {

using frame::CountOffset;
using frame::DataOffset;
using frame::HeaderSumOffset;

namespace {

constexpr size_t LargestFragment = 6;

void SetHeaderSum(std::vector<uint8_t>& frame) {
  frame::WriteU16(&frame[HeaderSumOffset], frame::Checksum16(frame.data(), HeaderSumOffset));
}

}  // namespace

size_t DataCountOf(const std::vector<uint8_t>& frame) {
  return frame.size() > frame::HeaderLength ? frame[CountOffset] : 0;
}

uint16_t AddresseeOf(const std::vector<uint8_t>& frame) {
  return frame::ReadU16(&frame.at(frame::AddresseeOffset));
}

uint16_t SenderOf(const std::vector<uint8_t>& frame) {
  return frame::ReadU16(&frame.at(frame::SenderOffset));
}

bool DataSumMatches(const std::vector<uint8_t>& frame) {
  const size_t count = DataCountOf(frame);
  if (count == 0 || frame.size() < frame::FrameLength(count)) return count == 0;
  return frame::Checksum16(&frame[DataOffset], count) == frame::ReadU16(&frame[DataOffset + count]);
}

std::vector<uint8_t> BuildReply(const std::vector<uint8_t>& frame, uint16_t station) {
  const size_t count = std::min(DataCountOf(frame), frame::MaxDataCount);
  std::vector<uint8_t> reply(frame::FrameLength(count));
  frame::WriteU16(&reply[frame::AddresseeOffset], SenderOf(frame));
  frame::WriteU16(&reply[frame::SenderOffset], station);
  reply[CountOffset] = static_cast<uint8_t>(count);
  SetHeaderSum(reply);
  if (count == 0) return reply;

  const size_t available = std::min(count, frame.size() - DataOffset);
  std::copy_n(frame.begin() + DataOffset, available, reply.begin() + DataOffset);
  frame::WriteU16(&reply[DataOffset + count], frame::Checksum16(&reply[DataOffset], count));
  return reply;
}

std::vector<std::vector<uint8_t>> SplitIntoFragments(const std::vector<uint8_t>& bytes) {
  std::vector<std::vector<uint8_t>> pieces;
  size_t at = 0;
  size_t size = 1;
  while (at < bytes.size()) {
    const size_t take = std::min(size, bytes.size() - at);
    pieces.emplace_back(bytes.begin() + at, bytes.begin() + at + take);
    at += take;
    size = size == LargestFragment ? 1 : size + 1;
  }
  return pieces;
}

FaultedReply ApplyFault(Fault fault, std::vector<uint8_t> reply) {
  FaultedReply result;
  const size_t count = DataCountOf(reply);
  switch (fault) {
    case Fault::None:
      break;
    case Fault::BadHeaderSum:
      ++reply[HeaderSumOffset];  // the low byte: sums travel low byte first
      break;
    case Fault::BadDataSum:
      if (count == 0) {
        result.note = "a reply without data has no data sum";
      } else {
        ++reply[DataOffset + count];
      }
      break;
    case Fault::Short:
      reply.resize(count == 0 ? frame::HeaderLength - 1 : DataOffset + count - 1);
      break;
    case Fault::Trailing:
      reply.push_back(TrailingByte);
      reply.push_back(TrailingByte);
      break;
    case Fault::Fragments:
      result.pieces = SplitIntoFragments(reply);
      return result;
    case Fault::Silence:
      return result;
    case Fault::CountOver247:
      reply[CountOffset] = CountAbove247;
      SetHeaderSum(reply);
      break;
  }
  result.pieces.push_back(std::move(reply));
  return result;
}

}  // namespace zel::sim
