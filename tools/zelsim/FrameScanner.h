#pragma once
// Finds the driver's frames in what arrives on the line.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zel::sim {

struct ScanEvent {
  enum class Kind {
    Frame,    // a whole frame: header with a matching sum, then its data and data sum
    Garbage,  // bytes that belong to no frame (a dump, a cut-off frame, line noise)
  };
  Kind kind;
  std::vector<uint8_t> bytes;
};

// Frames are taken by their header (laid out as driver/frames/FrameLayout.h says): a header sum
// that matches and a count the frame buffers can hold, then the data and data sum it announces.
// Bytes that cannot start such a header are skipped one at a time, so a frame behind garbage is
// still found. The data sum is not checked: the instrument answers what its header announced.
class FrameScanner {
 public:
  // Takes bytes in the order they arrived; returns, in order, what they completed.
  std::vector<ScanEvent> Feed(const uint8_t* data, size_t size);
  // The line fell silent: whatever is left can no longer become a frame.
  std::vector<ScanEvent> Flush();
  // True when no byte is waiting for the rest of a frame.
  bool Empty() const { return pending_.empty() && garbage_.empty(); }

 private:
  void EmitGarbage(std::vector<ScanEvent>& events);

  std::vector<uint8_t> pending_;  // may still become a frame, from its first byte
  std::vector<uint8_t> garbage_;  // skipped since the last event
};

// Length of the frame whose header starts at bytes[0], or 0 when those are no valid header
// (too few bytes for a header, a header sum that does not match, or a count above the largest).
size_t FrameLengthFromHeader(const std::vector<uint8_t>& bytes);

}  // namespace zel::sim
