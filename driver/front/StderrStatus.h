#pragma once
// The status indicator of a driver without a window: each new text on a line of standard error.

#include "driver/frames/StatusSink.h"

class StderrStatus : public StatusSink {
 public:
  void SetStatusText(const std::string& text) override;
};
