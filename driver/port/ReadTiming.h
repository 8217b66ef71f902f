// Time-out arithmetic of the port layer, kept free of clocks and devices: callers pass times as
// milliseconds since the start of the read or write.
#pragma once

#include <cstdint>

#include "driver/port/SerialPort.h"

namespace zel {

// Time the line needs to carry count characters framed as state says (start bit, data bits,
// parity bit, stop bits), rounded up to whole milliseconds. A rate of 0 counts as 50 baud.
uint64_t LineTimeMs(int32_t count, const LineState& state);

// Bound for a read or write whose time-outs set none of their own (both totals 0): twice the
// line time of the bytes plus 2 s. Reads and writes never block longer than this.
uint64_t SafetyBoundMs(int32_t count, const LineState& state);

// How one read of a given size behaves under the time-outs in force.
struct ReadPlan {
  enum class Kind {
    ReturnAvailable,    // interval kMaxDword, totals 0: take what is there and return
    ReturnOnFirstByte,  // interval and multiplier kMaxDword: return once a byte is in
    Timed,              // total and interval rules
  };
  Kind kind = Kind::Timed;
  uint64_t totalMs = 0;             // the read ends at this time at the latest
  bool totalIsSafetyBound = false;  // no total time-out configured; totalMs is the safety bound
  uint32_t intervalMs = 0;          // 0: no interval rule
};

// Plans a read of requested bytes. safetyBoundMs replaces the total time-out when none is set.
ReadPlan PlanRead(const CommTimeouts& timeouts, int32_t requested, uint64_t safetyBoundMs);

// What a read does next: finish, or wait up to waitMs for more bytes.
struct ReadStep {
  bool finished = false;
  uint64_t waitMs = 0;
};

// received bytes are in; lastByteMs is when the latest of them arrived (ignored while none has).
ReadStep NextReadStep(const ReadPlan& plan, int32_t requested, int32_t received, uint64_t nowMs,
                      uint64_t lastByteMs);

// Longest time a write of count bytes may take: constant + count x multiplier, or safetyBoundMs
// when both are 0 (the port has no write time-out then, but a write must still end).
uint64_t WriteDeadlineMs(const CommTimeouts& timeouts, int32_t count, uint64_t safetyBoundMs);

// What a write does while queued bytes still wait for the line after it handed them over.
struct DrainStep {
  bool finished = false;    // stop waiting; bytes still queued are to be dropped
  int32_t transmitted = 0;  // when finished: the bytes of this write that reached the line
  uint64_t sleepMs = 0;     // otherwise: look again after this long (never past the deadline)
};

// written bytes were handed over, queued of them (or of earlier writes) are not sent yet.
DrainStep NextDrainStep(int32_t written, int32_t queued, uint64_t nowMs, uint64_t deadlineMs,
                        const LineState& state);

}  // namespace zel
