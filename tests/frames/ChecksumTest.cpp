// What the driver's front cannot show of the frames core: Checksum16 over ranges only zelsim asks
// for, and that building a frame leaves the buffer past it as it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/frames/Checksum.h"
#include "driver/frames/FrameBuilder.h"

namespace zel {

TEST(Checksum, IsThePlainSixteenBitSumOfTheRangeInsideTheBuffer) {
  const FrameBuffer frame = {0x05, 0x02, 0x01, 0x00, 0x03, 0x0B, 0x00, 0x12, 0x34, 0xAB, 0xF1};
  FrameBuffer ones;
  ones.fill(0xFF);
  const struct {
    const FrameBuffer& bytes;
    int32_t first, last;
    uint16_t sum;
  } cases[] = {{frame, 0, 4, 0x000B},  {frame, 7, 9, 0x00F1},    {frame, 5, 4, 0},
               {ones, 0, 255, 0xFF00}, {ones, -10, 2, 3 * 0xFF}, {ones, 250, 1000, 6 * 0xFF},
               {ones, 256, 300, 0}};
  for (const auto& c : cases) EXPECT_EQ(Checksum16(c.bytes, c.first, c.last), c.sum) << c.first;
}

TEST(FrameBuilding, WritesNothingPastTheFrame) {
  for (const char* text : {"", "12", "0205 0001", "0205 0001 1234AB"}) {
    for (auto build : {&BuildSendFrame, &BuildDumpFrame}) {
      FrameBuffer frame;
      frame.fill(0xCC);
      int32_t length = -1;
      build(text, frame, length);
      EXPECT_EQ(std::count(frame.begin() + length, frame.end(), 0xCC), 256 - length) << text;
    }
  }
}

}  // namespace zel
