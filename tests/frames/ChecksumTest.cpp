#include <gtest/gtest.h>

#include <string>

#include "driver/frames/Checksum.h"
#include "tests/frames/FrameTestSupport.h"

namespace zel {

namespace {

struct SumCase {
  const char* name;
  const char* bytes;  // from position 0
  uint8_t fill;       // every other position
  int32_t first;
  int32_t last;
  uint16_t expected;
};

class Checksum : public ::testing::TestWithParam<SumCase> {};

TEST_P(Checksum, IsThePlainSixteenBitSumOfTheRangeInsideTheBuffer) {
  const SumCase& c = GetParam();
  const GuardedFrame frame = Guarded(BufferOf(c.bytes, c.fill), 0x77);
  EXPECT_EQ(Checksum16(frame.Bytes, c.first, c.last), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, Checksum,
    ::testing::Values(
        SumCase{"HeaderOfWorkedExample", "05 02 01 00 03 0B 00 12 34 AB F1 00", 0, 0, 4, 0x000B},
        SumCase{"DataOfWorkedExample", "05 02 01 00 03 0B 00 12 34 AB F1 00", 0, 7, 9, 0x00F1},
        SumCase{"EmptyRangeIsZero", "05 02 01 00 03", 0, 5, 4, 0},
        SumCase{"CarriesIntoTheHighByte", "80 80", 0, 0, 1, 0x0100},
        SumCase{"WholeBufferOfFF", "", 0xFF, 0, 255, 0xFF00},
        SumCase{"PositionsBeforeTheBufferAddNothing", "", 0xFF, -10, 2, 3 * 0xFF},
        SumCase{"PositionsAfterTheBufferAddNothing", "", 0xFF, 250, 1000, 6 * 0xFF},
        SumCase{"RangeWhollyAfterTheBufferIsZero", "", 0xFF, 256, 300, 0}),
    CaseName());

}  // namespace

}  // namespace zel
