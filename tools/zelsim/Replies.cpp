#include "tools/zelsim/Replies.h"

#include <algorithm>

#include "driver/frames/Checksum.h"
#include "driver/frames/FrameLayout.h"

namespace zel::sim {

namespace {

constexpr size_t HeaderSize = 7;
constexpr size_t LargestFragment = 6;

void SetHeaderSum(std::vector<uint8_t>& frame) {
  FrameBuffer header{};
  std::copy_n(frame.begin(), 5, header.begin());
  const uint16_t sum = Checksum16(header, 0, 4);
  frame[5] = static_cast<uint8_t>(sum & 0xFF);
  frame[6] = static_cast<uint8_t>(sum >> 8);
}

}  // namespace

uint16_t AddresseeOf(const std::vector<uint8_t>& frame) {
  return static_cast<uint16_t>(frame.at(0) | (frame.at(1) << 8));
}

uint16_t SenderOf(const std::vector<uint8_t>& frame) {
  return static_cast<uint16_t>(frame.at(2) | (frame.at(3) << 8));
}

bool DataSumMatches(const std::vector<uint8_t>& frame) {
  const size_t count = frame.size() > HeaderSize ? frame[4] : 0;
  if (count == 0 || frame.size() < HeaderSize + count + 2) return count == 0;
  uint32_t sum = 0;
  for (size_t i = HeaderSize; i < HeaderSize + count; ++i) sum += frame[i];
  const uint16_t announced =
      static_cast<uint16_t>(frame[HeaderSize + count] | (frame[HeaderSize + count + 1] << 8));
  return static_cast<uint16_t>(sum & 0xFFFF) == announced;
}

std::vector<uint8_t> BuildReply(const std::vector<uint8_t>& frame, uint16_t station) {
  const size_t count =
      std::min<size_t>(frame.size() > HeaderSize ? frame[4] : 0, static_cast<size_t>(MaxDataCount));
  FrameBuffer reply{};
  reply[0] = frame.at(2);
  reply[1] = frame.at(3);
  reply[2] = static_cast<uint8_t>(station & 0xFF);
  reply[3] = static_cast<uint8_t>(station >> 8);
  reply[4] = static_cast<uint8_t>(count);
  const uint16_t headerSum = Checksum16(reply, 0, 4);
  reply[5] = static_cast<uint8_t>(headerSum & 0xFF);
  reply[6] = static_cast<uint8_t>(headerSum >> 8);
  if (count == 0) return std::vector<uint8_t>(reply.begin(), reply.begin() + HeaderSize);

  const size_t available = std::min(count, frame.size() - HeaderSize);
  std::copy_n(frame.begin() + HeaderSize, available, reply.begin() + HeaderSize);
  const auto last = static_cast<int32_t>(HeaderSize + count - 1);
  const uint16_t dataSum = Checksum16(reply, static_cast<int32_t>(HeaderSize), last);
  reply[HeaderSize + count] = static_cast<uint8_t>(dataSum & 0xFF);
  reply[HeaderSize + count + 1] = static_cast<uint8_t>(dataSum >> 8);
  return std::vector<uint8_t>(reply.begin(), reply.begin() + HeaderSize + count + 2);
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
  const size_t count = reply.size() > HeaderSize ? reply[4] : 0;
  switch (fault) {
    case Fault::None:
      break;
    case Fault::BadHeaderSum:
      ++reply[5];
      break;
    case Fault::BadDataSum:
      if (count == 0) {
        result.note = "a reply without data has no data sum";
      } else {
        ++reply[HeaderSize + count];
      }
      break;
    case Fault::Short:
      reply.resize(count == 0 ? HeaderSize - 1 : HeaderSize + count - 1);
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
      reply[4] = CountAbove247;
      SetHeaderSum(reply);
      break;
  }
  result.pieces.push_back(std::move(reply));
  return result;
}

}  // namespace zel::sim
