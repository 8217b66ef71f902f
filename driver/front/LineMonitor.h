#pragma once
// The line monitor: each read or write on the serial line becomes one line of text published on
// the monitor topic, for as long as someone listens there.

#include <cstdint>
#include <string>

#include "ddelink/BroadcastTopic.h"
#include "driver/front/Clock.h"
#include "driver/port/LineListener.h"

namespace zel {

// "12.345 W 05 02 34  |..4|": ms since the start with 3 decimals, W (written) or R (read), the
// bytes in hex, and the printable ASCII ones beside them ('.' for the others).
std::string MonitorLineText(int64_t sinceStartUs, LineDirection direction, const uint8_t* bytes,
                            int32_t count);

class LineMonitor : public LineListener {
 public:
  LineMonitor(BroadcastTopic& topic, Clock& clock)
      : topic_(topic), clock_(clock), startUs_(clock.NowUs()) {}

  void LineBytes(LineDirection direction, const uint8_t* bytes, int32_t count) override {
    topic_.Publish(MonitorLineText(clock_.NowUs() - startUs_, direction, bytes, count));
  }

 private:
  BroadcastTopic& topic_;
  Clock& clock_;
  const int64_t startUs_;
};

}  // namespace zel
