// The time-out arithmetic of reads and writes, without a device and without waiting: the rows of
// tests/data/port/read-timing.txt.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/port/ReadTiming.h"
#include "tests/support/DataText.h"

namespace zel {
namespace {

uint32_t Number(const std::string& text) { return text == "max" ? kMaxDword : std::stoul(text); }

// "interval/multiplier/constant" for reads, "multiplier/constant" for writes.
CommTimeouts Timeouts(const std::string& text, bool write = false) {
  std::vector<uint32_t> v;
  for (const std::string& part : test::Split(text, "/")) v.push_back(Number(part));
  v.resize(3);
  return write ? CommTimeouts{0, 0, 0, v[0], v[1]} : CommTimeouts{v[0], v[1], v[2], 0, 0};
}

TEST(ReadTiming, EveryRowOfTheTable) {
  std::ifstream file(ZEL_TEST_DATA "/port/read-timing.txt");
  int rows = 0;
  for (std::string text; std::getline(file, text);) {
    std::istringstream row(text.substr(0, text.find('#')));
    std::string kind, arrow, a, b, c, d, e, f;
    if (!(row >> kind)) continue;
    SCOPED_TRACE(text);
    ++rows;
    const LineState line9600{9600, 8, Parity::None, StopBits::One};
    if (kind == "plan") {
      row >> a >> arrow >> b >> c >> d;
      const ReadPlan plan = PlanRead(Timeouts(a), 256, 2134);
      EXPECT_EQ(plan.kind, b == "available"    ? ReadPlan::Kind::ReturnAvailable
                           : b == "first-byte" ? ReadPlan::Kind::ReturnOnFirstByte
                                               : ReadPlan::Kind::Timed);
      if (c != "-") {
        EXPECT_EQ(plan.totalMs, Number(c));
      }
      EXPECT_EQ(plan.totalIsSafetyBound, d == "yes");
    } else if (kind == "step") {
      row >> a >> b >> c >> d >> arrow >> e >> f;
      const ReadStep step = NextReadStep(PlanRead(Timeouts(a), 256, 2134), 256,
                                         static_cast<int32_t>(Number(b)), Number(c), Number(d));
      EXPECT_EQ(step.finished, e == "done");
      if (e == "wait") {
        EXPECT_EQ(step.waitMs, Number(f));
      }
    } else if (kind == "line") {
      row >> a >> b >> c >> d >> e >> arrow >> f;
      const Parity parity = d == "E" ? Parity::Even : Parity::None;
      const StopBits stop = e == "2"     ? StopBits::Two
                            : e == "1.5" ? StopBits::OneAndHalf
                                         : StopBits::One;
      const LineState state{Number(b), static_cast<uint8_t>(Number(c)), parity, stop};
      EXPECT_EQ(LineTimeMs(static_cast<int32_t>(Number(a)), state), Number(f));
    } else if (kind == "write") {
      row >> a >> b >> c >> arrow >> d;
      EXPECT_EQ(WriteDeadlineMs(Timeouts(a, true), static_cast<int32_t>(Number(b)), Number(c)),
                Number(d));
    } else if (kind == "drain") {
      row >> a >> b >> c >> d >> arrow >> e >> f;
      const DrainStep step =
          NextDrainStep(static_cast<int32_t>(Number(a)), static_cast<int32_t>(Number(b)), Number(c),
                        Number(d), line9600);
      EXPECT_EQ(step.finished, e == "done");
      EXPECT_EQ(e == "done" ? static_cast<uint32_t>(step.transmitted) : step.sleepMs, Number(f));
    } else {
      ADD_FAILURE() << "unknown row";
    }
  }
  EXPECT_GT(rows, 30) << "tests/data/port/read-timing.txt not read";
  EXPECT_EQ(SafetyBoundMs(256, LineState{38400, 8, Parity::None, StopBits::One}), 2 * 67u + 2000u);
  // Huge time-outs do not overflow.
  EXPECT_EQ(PlanRead(Timeouts("0/max/max"), INT32_MAX, 9).totalMs,
            uint64_t{kMaxDword} + uint64_t{INT32_MAX} * kMaxDword);
}

}  // namespace
}  // namespace zel
