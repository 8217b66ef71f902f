#include "driver/port/ReadTiming.h"

#include <algorithm>

namespace zel {

namespace {

// The longest single sleep while output drains; keeps the deadline check close.
constexpr uint64_t kDrainPollMs = 10;

uint64_t HalfBitsPerCharacter(const LineState& state) {
  const uint64_t parityBits = state.ParityMode == Parity::None ? 0 : 1;
  uint64_t stopHalfBits = 2;
  if (state.StopBitCount == StopBits::OneAndHalf) stopHalfBits = 3;
  if (state.StopBitCount == StopBits::Two) stopHalfBits = 4;
  return 2 * (1 + state.ByteSize + parityBits) + stopHalfBits;
}

}  // namespace

uint64_t LineTimeMs(int32_t count, const LineState& state) {
  if (count <= 0) return 0;
  const uint64_t baud = state.BaudRate == 0 ? 50 : state.BaudRate;
  const uint64_t halfBitMs = static_cast<uint64_t>(count) * HalfBitsPerCharacter(state) * 1000;
  const uint64_t perHalfBitDivisor = 2 * baud;
  return (halfBitMs + perHalfBitDivisor - 1) / perHalfBitDivisor;
}

uint64_t SafetyBoundMs(int32_t count, const LineState& state) {
  return 2 * LineTimeMs(count, state) + 2000;
}

ReadPlan PlanRead(const CommTimeouts& timeouts, int32_t requested, uint64_t safetyBoundMs) {
  ReadPlan plan;
  const uint32_t interval = timeouts.ReadIntervalTimeout;
  const uint32_t multiplier = timeouts.ReadTotalTimeoutMultiplier;
  const uint32_t constant = timeouts.ReadTotalTimeoutConstant;

  if (interval == kMaxDword && multiplier == 0 && constant == 0) {
    plan.kind = ReadPlan::Kind::ReturnAvailable;
    return plan;
  }
  if (interval == kMaxDword && multiplier == kMaxDword && constant > 0 && constant < kMaxDword) {
    plan.kind = ReadPlan::Kind::ReturnOnFirstByte;
    plan.totalMs = constant;
    return plan;
  }

  plan.kind = ReadPlan::Kind::Timed;
  plan.intervalMs = interval;
  if (multiplier == 0 && constant == 0) {
    plan.totalMs = safetyBoundMs;
    plan.totalIsSafetyBound = true;
  } else {
    // 64 bits: 2^31 bytes times 2^32 ms still fits.
    const uint64_t count = requested > 0 ? static_cast<uint64_t>(requested) : 0;
    plan.totalMs = static_cast<uint64_t>(constant) + count * multiplier;
  }
  return plan;
}

ReadStep NextReadStep(const ReadPlan& plan, int32_t requested, int32_t received, uint64_t nowMs,
                      uint64_t lastByteMs) {
  ReadStep step;
  step.finished = true;
  if (received >= requested) return step;

  switch (plan.kind) {
    case ReadPlan::Kind::ReturnAvailable:
      return step;
    case ReadPlan::Kind::ReturnOnFirstByte:
      if (received > 0 || nowMs >= plan.totalMs) return step;
      step.finished = false;
      step.waitMs = plan.totalMs - nowMs;
      return step;
    case ReadPlan::Kind::Timed:
      break;
  }

  if (nowMs >= plan.totalMs) return step;
  uint64_t wait = plan.totalMs - nowMs;
  if (plan.intervalMs > 0 && received > 0) {
    const uint64_t intervalEnd = lastByteMs + plan.intervalMs;
    if (nowMs >= intervalEnd) return step;
    wait = std::min(wait, intervalEnd - nowMs);
  }
  step.finished = false;
  step.waitMs = wait;
  return step;
}

uint64_t WriteDeadlineMs(const CommTimeouts& timeouts, int32_t count, uint64_t safetyBoundMs) {
  const uint32_t multiplier = timeouts.WriteTotalTimeoutMultiplier;
  const uint32_t constant = timeouts.WriteTotalTimeoutConstant;
  if (multiplier == 0 && constant == 0) return safetyBoundMs;
  const uint64_t bytes = count > 0 ? static_cast<uint64_t>(count) : 0;
  return static_cast<uint64_t>(constant) + bytes * multiplier;
}

DrainStep NextDrainStep(int32_t written, int32_t queued, uint64_t nowMs, uint64_t deadlineMs,
                        const LineState& state) {
  DrainStep step;
  if (queued <= 0) {
    step.finished = true;
    step.transmitted = written;
    return step;
  }
  if (nowMs >= deadlineMs) {
    step.finished = true;
    step.transmitted = written - std::min(written, queued);
    return step;
  }
  const uint64_t lineMs = std::max<uint64_t>(1, LineTimeMs(queued, state));
  step.sleepMs = std::min({deadlineMs - nowMs, lineMs, kDrainPollMs});
  return step;
}

}  // namespace zel
