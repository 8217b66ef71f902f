#include "tools/zelsim/FrameScanner.h"

#include <algorithm>

#include "driver/frames/Checksum.h"
#include "driver/frames/FrameLayout.h"

namespace zel::sim {

namespace {

constexpr size_t HeaderSize = 7;

// Long garbage is reported in pieces no longer than a frame, so a log line stays readable.
constexpr size_t GarbageReportSize = FrameCapacity;

}  // namespace

size_t FrameLengthFromHeader(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < HeaderSize) return 0;
  FrameBuffer header{};
  std::copy_n(bytes.begin(), HeaderSize, header.begin());
  const uint16_t announced = static_cast<uint16_t>(header[5] | (header[6] << 8));
  if (Checksum16(header, 0, 4) != announced) return 0;
  const size_t count = header[4];
  if (count > static_cast<size_t>(MaxDataCount)) return 0;
  return count == 0 ? HeaderSize : HeaderSize + count + 2;
}

std::vector<ScanEvent> FrameScanner::Feed(const uint8_t* data, size_t size) {
  std::vector<ScanEvent> events;
  pending_.insert(pending_.end(), data, data + size);
  while (pending_.size() >= HeaderSize) {
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
