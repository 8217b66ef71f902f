#pragma once
// Time as the commands see it, so the bounds on their waits can be tested without sleeping.

#include <cstdint>

namespace zel {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowMs() = 0;  // monotonic
  virtual void SleepMs(int64_t ms) = 0;
};

// The real, monotonic clock.
class SteadyClock : public Clock {
 public:
  int64_t NowMs() override;
  void SleepMs(int64_t ms) override;
};

}  // namespace zel
