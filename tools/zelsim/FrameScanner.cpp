#include "tools/zelsim/FrameScanner.h"

#include "driver/frames/FrameLayout.h"

namespace zel::sim {

namespace {

// Long garbage is reported in pieces no longer than a frame, so a log line stays readable.
constexpr size_t GarbageReportSize = frame::Capacity;

}  // namespace

size_t FrameLengthFromHeader(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < frame::HeaderLength) return 0;
  const uint16_t announced = frame::ReadU16(&bytes[frame::HeaderSumOffset]);
  if (frame::Checksum16(bytes.data(), frame::HeaderSumOffset) != announced) return 0;
  const size_t count = bytes[frame::CountOffset];
  if (count > frame::MaxDataCount) return 0;
  return frame::FrameLength(count);
}

std::vector<ScanEvent> FrameScanner::Feed(const uint8_t* data, size_t size) {
  std::vector<ScanEvent> events;
  pending_.insert(pending_.end(), data, data + size);
  while (pending_.size() >= frame::HeaderLength) {
    const size_t length = FrameLengthFromHeader(pending_);
    if (length == 0) {
      garbage_.push_back(pending_.front());
      pending_.erase(pending_.begin());
      if (garbage_.size() >= GarbageReportSize) EmitGarbage(events);
      continue;
    }
    if (pending_.size() < length) break;
    EmitGarbage(events);
    events.push_back({ScanEvent::Kind::Frame,
                      std::vector<uint8_t>(pending_.begin(), pending_.begin() + length)});
    pending_.erase(pending_.begin(), pending_.begin() + length);
  }
  return events;
}

std::vector<ScanEvent> FrameScanner::Flush() {
  std::vector<ScanEvent> events;
  garbage_.insert(garbage_.end(), pending_.begin(), pending_.end());
  pending_.clear();
  EmitGarbage(events);
  return events;
}

void FrameScanner::EmitGarbage(std::vector<ScanEvent>& events) {
  if (garbage_.empty()) return;
  events.push_back({ScanEvent::Kind::Garbage, std::move(garbage_)});
  garbage_.clear();
}

}  // namespace zel::sim
