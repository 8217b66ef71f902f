#include <gtest/gtest.h>

#include "tests/port/LineStates.h"

#include <cstdint>

#include "driver/port/ReadTiming.h"

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

const CommTimeouts kNull = ReadTimeouts(50, 0, 25);

// The latency list of the setup: multiplier and the total time-out of a 256-byte read.
struct LatencyRow {
  uint32_t multiplier;
  uint64_t totalMs;
};

TEST(ReadTiming, TotalTimeoutIsConstantPlusRequestedBytesTimesMultiplier) {
  const LatencyRow rows[] = {{0, 25},     {1, 281},    {2, 537},   {3, 793},    {5, 1305},
                             {10, 2585},  {20, 5145},  {30, 7705}, {40, 10265}, {50, 12825},
                             {60, 15385}, {70, 17945}, {80, 20505}};
  for (const LatencyRow& row : rows) {
    const ReadPlan plan = PlanRead(ReadTimeouts(50, row.multiplier, 25), kDriverReadSize, 99999);
    EXPECT_EQ(plan.kind, ReadPlan::Kind::Timed);
    EXPECT_EQ(plan.totalMs, row.totalMs) << "multiplier " << row.multiplier;
    EXPECT_FALSE(plan.totalIsSafetyBound);
    EXPECT_EQ(plan.intervalMs, 50u);
  }
}

TEST(ReadTiming, NullTimeoutsWaitTwentyFiveMsForNothingThenFinish) {
  const ReadPlan plan = PlanRead(kNull, kDriverReadSize, 99999);
  ReadStep step = NextReadStep(plan, kDriverReadSize, 0, 0, 0);
  EXPECT_FALSE(step.finished);
  EXPECT_EQ(step.waitMs, 25u);
  step = NextReadStep(plan, kDriverReadSize, 0, 10, 0);
  EXPECT_FALSE(step.finished);
  EXPECT_EQ(step.waitMs, 15u);
  EXPECT_TRUE(NextReadStep(plan, kDriverReadSize, 0, 25, 0).finished);
}

TEST(ReadTiming, TotalTimeoutEndsReadEvenWhileTheIntervalIsStillOpen) {
  // Interval 50 is longer than the total 25: a byte at 20 ms does not stretch the read.
  const ReadPlan plan = PlanRead(kNull, kDriverReadSize, 99999);
  const ReadStep step = NextReadStep(plan, kDriverReadSize, 3, 20, 20);
  EXPECT_FALSE(step.finished);
  EXPECT_EQ(step.waitMs, 5u);
  EXPECT_TRUE(NextReadStep(plan, kDriverReadSize, 3, 25, 20).finished);
}

TEST(ReadTiming, IntervalRuleEndsReadOnceTheLineFallsSilentAfterAByte) {
  const ReadPlan plan = PlanRead(ReadTimeouts(50, 1, 25), kDriverReadSize, 99999);  // total 281
  // Before the first byte only the total counts.
  ReadStep step = NextReadStep(plan, kDriverReadSize, 0, 100, 0);
  EXPECT_FALSE(step.finished);
  EXPECT_EQ(step.waitMs, 181u);
  // Byte at 100 ms: wait until 150 ms at most.
  step = NextReadStep(plan, kDriverReadSize, 7, 100, 100);
  EXPECT_FALSE(step.finished);
  EXPECT_EQ(step.waitMs, 50u);
  step = NextReadStep(plan, kDriverReadSize, 7, 130, 100);
  EXPECT_FALSE(step.finished);
  EXPECT_EQ(step.waitMs, 20u);
  EXPECT_TRUE(NextReadStep(plan, kDriverReadSize, 7, 150, 100).finished);
  // A later byte restarts the interval.
  step = NextReadStep(plan, kDriverReadSize, 9, 150, 140);
  EXPECT_FALSE(step.finished);
  EXPECT_EQ(step.waitMs, 40u);
  // Near the total, the total wins over the interval.
  step = NextReadStep(plan, kDriverReadSize, 9, 260, 250);
  EXPECT_FALSE(step.finished);
  EXPECT_EQ(step.waitMs, 21u);
}

TEST(ReadTiming, ReadFinishesAtOnceWhenAllRequestedBytesAreIn) {
  const ReadPlan plan = PlanRead(ReadTimeouts(50, 80, 25), kDriverReadSize, 99999);
  EXPECT_TRUE(NextReadStep(plan, kDriverReadSize, kDriverReadSize, 0, 0).finished);
  EXPECT_TRUE(NextReadStep(plan, 0, 0, 0, 0).finished);
}

TEST(ReadTiming, ZeroIntervalMeansOnlyTheTotalEndsTheRead) {
  const ReadPlan plan = PlanRead(ReadTimeouts(0, 0, 500), kDriverReadSize, 99999);
  const ReadStep step = NextReadStep(plan, kDriverReadSize, 5, 400, 10);
  EXPECT_FALSE(step.finished);
  EXPECT_EQ(step.waitMs, 100u);
}

TEST(ReadTiming, NoTotalTimeoutFallsBackToTheSafetyBound) {
  for (const uint32_t interval : {0u, 50u}) {
    const ReadPlan plan = PlanRead(ReadTimeouts(interval, 0, 0), kDriverReadSize, 2134);
    EXPECT_EQ(plan.kind, ReadPlan::Kind::Timed);
    EXPECT_TRUE(plan.totalIsSafetyBound);
    EXPECT_EQ(plan.totalMs, 2134u);
    EXPECT_FALSE(NextReadStep(plan, kDriverReadSize, 0, 2000, 0).finished);
    EXPECT_TRUE(NextReadStep(plan, kDriverReadSize, 0, 2134, 0).finished);
  }
}

TEST(ReadTiming, MaxIntervalWithoutTotalsReturnsWhatIsAlreadyThere) {
  const ReadPlan plan = PlanRead(ReadTimeouts(kMaxDword, 0, 0), kDriverReadSize, 99999);
  EXPECT_EQ(plan.kind, ReadPlan::Kind::ReturnAvailable);
  EXPECT_TRUE(NextReadStep(plan, kDriverReadSize, 0, 0, 0).finished);
  EXPECT_TRUE(NextReadStep(plan, kDriverReadSize, 4, 0, 0).finished);
}

TEST(ReadTiming, MaxIntervalAndMultiplierReturnOnTheFirstByteOrAfterTheConstant) {
  const ReadPlan plan = PlanRead(ReadTimeouts(kMaxDword, kMaxDword, 300), kDriverReadSize, 99999);
  EXPECT_EQ(plan.kind, ReadPlan::Kind::ReturnOnFirstByte);
  ReadStep step = NextReadStep(plan, kDriverReadSize, 0, 100, 0);
  EXPECT_FALSE(step.finished);
  EXPECT_EQ(step.waitMs, 200u);
  EXPECT_TRUE(NextReadStep(plan, kDriverReadSize, 1, 100, 100).finished);
  EXPECT_TRUE(NextReadStep(plan, kDriverReadSize, 0, 300, 0).finished);
  // The special mode needs 0 < constant < kMaxDword; otherwise the ordinary rules apply.
  EXPECT_EQ(PlanRead(ReadTimeouts(kMaxDword, kMaxDword, 0), 1, 9).kind, ReadPlan::Kind::Timed);
  EXPECT_EQ(PlanRead(ReadTimeouts(kMaxDword, kMaxDword, kMaxDword), 1, 9).kind,
            ReadPlan::Kind::Timed);
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
      {"queue empty at the deadline", 100, 0, 500, 500, true, 100, 0},
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
