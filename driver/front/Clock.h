#pragma once
// Time as the commands see it, so the bounds on their waits can be tested without sleeping.

#include <cstdint>

namespace zel {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowMs() = 0;  // monotonic
  // The same clock in microseconds, where it has them.
  virtual int64_t NowUs() { return NowMs() * 1000; }
  virtual void SleepMs(int64_t ms) = 0;
};

// The real, monotonic clock.
class SteadyClock : public Clock {
 public:
  int64_t NowMs() override;
  int64_t NowUs() override;
  void SleepMs(int64_t ms) override;
};

}  // namespace zel
