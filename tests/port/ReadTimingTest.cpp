// The time-out arithmetic of reads and writes, without a device and without waiting.
#include <gtest/gtest.h>

#include <cstdint>

#include "driver/port/ReadTiming.h"
#include "tests/port/LineStates.h"

namespace zel {
namespace {

constexpr int32_t kDriverReadSize = 256;

CommTimeouts ReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) {
  CommTimeouts t;
  t.ReadIntervalTimeout = interval;
  t.ReadTotalTimeoutMultiplier = multiplier;
  t.ReadTotalTimeoutConstant = constant;
  return t;
}

TEST(ReadTiming, PlanFollowsTheTimeoutsOfTheRead) {
  struct Row {
    const char* legend;
    CommTimeouts timeouts;
    ReadPlan::Kind kind;
    uint64_t totalMs;  // 0: not checked
    bool safetyBound;
  };
  using K = ReadPlan::Kind;
  // Multipliers 0, 1 and 80: the least, the next and the greatest of the latency list.
  const Row rows[] = {
      {"null regime", ReadTimeouts(50, 0, 25), K::Timed, 25, false},
      {"constant + 256 x 1", ReadTimeouts(50, 1, 25), K::Timed, 281, false},
      {"constant + 256 x 80", ReadTimeouts(50, 80, 25), K::Timed, 20505, false},
      {"no totals, no interval", ReadTimeouts(0, 0, 0), K::Timed, 2134, true},
      {"no totals", ReadTimeouts(50, 0, 0), K::Timed, 2134, true},
      {"max interval alone", ReadTimeouts(kMaxDword, 0, 0), K::ReturnAvailable, 0, false},
      {"max interval and multiplier", ReadTimeouts(kMaxDword, kMaxDword, 300), K::ReturnOnFirstByte,
       300, false},
      // The special mode needs 0 < constant < kMaxDword; otherwise the ordinary rules apply.
      {"... with constant 0", ReadTimeouts(kMaxDword, kMaxDword, 0), K::Timed, 0, false},
      {"... with constant max", ReadTimeouts(kMaxDword, kMaxDword, kMaxDword), K::Timed, 0, false},
  };
  for (const Row& row : rows) {
    const ReadPlan plan = PlanRead(row.timeouts, kDriverReadSize, 2134);
    EXPECT_EQ(plan.kind, row.kind) << row.legend;
    if (row.totalMs > 0) {
      EXPECT_EQ(plan.totalMs, row.totalMs) << row.legend;
    }
    EXPECT_EQ(plan.totalIsSafetyBound, row.safetyBound) << row.legend;
  }
}

constexpr int64_t Done = -1;

// Where a 256-byte read stands (bytes in, now, when the last byte came) and what it must do next:
// finish, or wait this long for more.
TEST(ReadTiming, ReadStepsFollowTheTotalAndIntervalRules) {
  struct Row {
    const char* legend;
    CommTimeouts timeouts;
    int32_t received;
    uint64_t nowMs, lastByteMs;
    int64_t waitMs;
  };
  const CommTimeouts null = ReadTimeouts(50, 0, 25);
  const CommTimeouts total281 = ReadTimeouts(50, 1, 25);
  const CommTimeouts firstByte = ReadTimeouts(kMaxDword, kMaxDword, 300);
  const Row rows[] = {
      {"null: nothing yet", null, 0, 0, 0, 25},
      {"null: nothing after 10 ms", null, 0, 10, 0, 15},
      {"null: nothing after 25 ms", null, 0, 25, 0, Done},
      // The interval (50) is longer than the total (25): a byte at 20 ms does not stretch it.
      {"null: a byte at 20 ms", null, 3, 20, 20, 5},
      {"null: total over, interval open", null, 3, 25, 20, Done},
      {"before the first byte only the total counts", total281, 0, 100, 0, 181},
      {"byte at 100 ms: the interval", total281, 7, 100, 100, 50},
      {"30 ms into the interval", total281, 7, 130, 100, 20},
      {"interval over", total281, 7, 150, 100, Done},
      {"a later byte restarts the interval", total281, 9, 150, 140, 40},
      {"near the total, the total wins", total281, 9, 260, 250, 21},
      {"all requested bytes in", ReadTimeouts(50, 80, 25), 256, 0, 0, Done},
      {"no interval rule: only the total", ReadTimeouts(0, 0, 500), 5, 400, 10, 100},
      {"safety bound not yet reached", ReadTimeouts(50, 0, 0), 0, 2000, 0, 134},
      {"safety bound reached", ReadTimeouts(50, 0, 0), 0, 2134, 0, Done},
      {"return what is there: nothing", ReadTimeouts(kMaxDword, 0, 0), 0, 0, 0, Done},
      {"return what is there: bytes", ReadTimeouts(kMaxDword, 0, 0), 4, 0, 0, Done},
      {"first-byte mode: nothing yet", firstByte, 0, 100, 0, 200},
      {"first-byte mode: a byte", firstByte, 1, 100, 100, Done},
      {"first-byte mode: the constant is over", firstByte, 0, 300, 0, Done},
  };
  for (const Row& row : rows) {
    const ReadPlan plan = PlanRead(row.timeouts, kDriverReadSize, 2134);
    const ReadStep step =
        NextReadStep(plan, kDriverReadSize, row.received, row.nowMs, row.lastByteMs);
    EXPECT_EQ(step.finished, row.waitMs == Done) << row.legend;
    if (!step.finished) {
      EXPECT_EQ(step.waitMs, static_cast<uint64_t>(row.waitMs)) << row.legend;
    }
  }
  EXPECT_TRUE(NextReadStep(PlanRead(null, 0, 2134), 0, 0, 0, 0).finished) << "nothing requested";
}

TEST(ReadTiming, HugeTimeoutsDoNotOverflow) {
  const ReadPlan plan = PlanRead(ReadTimeouts(0, kMaxDword, kMaxDword), INT32_MAX, 9);
  EXPECT_EQ(plan.totalMs, uint64_t{kMaxDword} + uint64_t{INT32_MAX} * kMaxDword);
}

TEST(ReadTiming, LineTimeCountsStartDataParityAndStopBitsRoundedUp) {
  struct Row {
    const char* legend;
    int32_t count;
    LineState line;
    uint64_t ms;
  };
  const Row rows[] = {
      {"256 bytes 8N1 at 75 baud: 34133.3 ms", 256, Line(75, 8, Parity::None, StopBits::One),
       34134},
      {"256 bytes 8E2 at 9600: 12 bits each", 256, Line(9600, 8, Parity::Even, StopBits::Two), 320},
      {"96 bytes 8N1 at 9600: exactly 100 ms", 96, Line(9600, 8, Parity::None, StopBits::One), 100},
      {"2 chars 5N1.5 at 75: 7.5 bits each", 2, Line(75, 5, Parity::None, StopBits::OneAndHalf),
       200},
      {"1 byte at 115200 rounds up to 1 ms", 1, Line(115200, 8, Parity::None, StopBits::One), 1},
      {"nothing takes no time", 0, Line(9600, 8, Parity::None, StopBits::One), 0},
      {"rate 0 counts as 50 baud", 5, Line(0, 8, Parity::None, StopBits::One), 1000},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(LineTimeMs(row.count, row.line), row.ms) << row.legend;
  }
}

TEST(ReadTiming, SafetyBoundIsTwiceTheLineTimePlusTwoSeconds) {
  const LineState line = Line(38400, 8, Parity::None, StopBits::One);
  EXPECT_EQ(SafetyBoundMs(256, line), 2 * 67u + 2000u);
  EXPECT_EQ(SafetyBoundMs(0, line), 2000u);
}

TEST(ReadTiming, WriteDeadlineIsConstantPlusCountTimesMultiplierOrTheSafetyBound) {
  CommTimeouts t;
  EXPECT_EQ(WriteDeadlineMs(t, 256, 4321), 4321u);
  t.WriteTotalTimeoutConstant = 100;
  EXPECT_EQ(WriteDeadlineMs(t, 256, 4321), 100u);
  t.WriteTotalTimeoutMultiplier = 3;
  EXPECT_EQ(WriteDeadlineMs(t, 256, 4321), 100u + 768u);
  t.WriteTotalTimeoutConstant = 0;
  EXPECT_EQ(WriteDeadlineMs(t, 10, 4321), 30u);
  t.WriteTotalTimeoutConstant = kMaxDword;
  t.WriteTotalTimeoutMultiplier = kMaxDword;
  EXPECT_EQ(WriteDeadlineMs(t, INT32_MAX, 1),
            uint64_t{kMaxDword} + uint64_t{INT32_MAX} * kMaxDword);
}

TEST(ReadTiming, WriteCountsOnlyTheBytesThatLeftTheQueueByItsDeadline) {
  const LineState line = Line(9600, 8, Parity::None, StopBits::One);  // 1.04 ms a byte
  struct Row {
    const char* legend;
    int32_t written, queued;
    uint64_t nowMs, deadlineMs;
    bool finished;
    int32_t transmitted;
    uint64_t sleepMs;
  };
  const Row rows[] = {
      {"queue empty: all written bytes are out", 100, 0, 3, 500, true, 100, 0},
      {"deadline with 30 still queued", 100, 30, 500, 500, true, 70, 0},
      {"deadline passed with all still queued", 100, 100, 700, 500, true, 0, 0},
      {"more queued than this write gave", 10, 25, 500, 500, true, 0, 0},
      {"long queue: look again in 10 ms", 100, 96, 0, 500, false, 0, 10},
      {"short queue: look again after its line time", 100, 2, 0, 500, false, 0, 3},
      {"never sleep past the deadline", 100, 96, 496, 500, false, 0, 4},
  };
  for (const Row& row : rows) {
    const DrainStep step = NextDrainStep(row.written, row.queued, row.nowMs, row.deadlineMs, line);
    EXPECT_EQ(step.finished, row.finished) << row.legend;
    if (row.finished) {
      EXPECT_EQ(step.transmitted, row.transmitted) << row.legend;
    } else {
      EXPECT_EQ(step.sleepMs, row.sleepMs) << row.legend;
    }
  }
}

}  // namespace
}  // namespace zel
