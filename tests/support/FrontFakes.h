#pragma once
// Time as the driver front sees it, in tests.

#include <vector>

#include "driver/front/Clock.h"

namespace zel {

// Time stands still unless a sleep moves it, or every look at it moves it a step.
class FakeClock : public Clock {
 public:
  int64_t NowMs() override { return (now += stepPerLook) - stepPerLook; }
  void SleepMs(int64_t ms) override { slept.push_back(ms), now += ms; }
  int64_t now = 0;
  int64_t stepPerLook = 0;
  std::vector<int64_t> slept;
};

}  // namespace zel
