#pragma once
// The status indicator and the message bar of a driver without a window: their texts go to
// standard error, one line each.

#include "common/Notice.h"
#include "driver/frames/StatusSink.h"

class StderrStatus : public StatusSink {
 public:
  void SetStatusText(const std::string& text) override;
};

class StderrNotice : public Notice {
 public:
  void ShowNotice(const std::string& text) override;
};
