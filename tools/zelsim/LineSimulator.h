#pragma once
// The simulated line with its instruments, free of any device or clock: the caller reports what
// the driver wrote and when, and takes what the line sends back and when it is due.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/zelsim/FrameScanner.h"
#include "tools/zelsim/SimConfig.h"

namespace zel::sim {

// Bytes the line sends towards the driver.
struct Transmission {
  std::vector<uint8_t> bytes;
  std::string what;  // "reply from 0205", "reply-once", ... as logged
};

// One event, at the time (in ms on the caller's clock) it happened.
struct LogEntry {
  int64_t atMs;
  std::string text;
};

class LineSimulator {
 public:
  explicit LineSimulator(SimConfig config);

  // zelsim is up.
  void Start(int64_t nowMs);
  // The driver opened the line: what it had not read is gone, and a transmission it had begun is
  // over.
  void LineOpened(int64_t nowMs);
  // Bytes the driver wrote, as they arrived. Returns the echo, which is due at once: the driver
  // reads it right after writing, for 25 ms only. Empty when the line gives no echo.
  std::vector<uint8_t> DriverWrote(int64_t nowMs, const std::vector<uint8_t>& bytes);
  // Lets time pass: ends the driver's transmission once the line has been silent long enough.
  void Tick(int64_t nowMs);

  // Transmissions due by now, in order; they count as sent now (a fragment's successor is due
  // the fragment gap after this).
  std::vector<Transmission> TakeDue(int64_t nowMs);

  // When the simulator next needs Tick or TakeDue; nothing when it only waits for the driver.
  std::optional<int64_t> NextWakeMs() const;

  std::vector<LogEntry> TakeLog();

 private:
  struct Scheduled {
    int64_t dueMs;
    uint64_t order;  // keeps transmissions due at the same time in the order they were made
    std::vector<std::vector<uint8_t>> pieces;  // the first goes at dueMs, the rest a gap apart
    size_t nextPiece;
    std::string what;
  };

  void Log(int64_t atMs, std::string text);
  void Schedule(int64_t dueMs, std::vector<std::vector<uint8_t>> pieces, std::string what);
  void EndTransmission(int64_t nowMs);
  void Handle(int64_t nowMs, const std::vector<ScanEvent>& events);
  void Answer(int64_t nowMs, const std::vector<uint8_t>& frame);
  bool IsStation(uint16_t address) const;
  Fault NextFault();
  void ScheduleReplyOnce(int64_t nowMs);

  SimConfig config_;
  FrameScanner scanner_;
  std::vector<Scheduled> scheduled_;
  std::vector<LogEntry> log_;
  uint64_t nextOrder_ = 0;
  size_t nextFault_ = 0;
  int corruptLeft_;
  bool replyOnceDone_ = false;
  // The driver's current transmission: bytes that followed each other without a pause.
  bool transmitting_ = false;
  bool transmissionCorrupted_ = false;
  int64_t lastByteMs_ = 0;
};

}  // namespace zel::sim
