#pragma once
// The status indicator's texts on standard error, one line each ("status: <text>"), besides the
// window: for a driver run without a screen and for the end-to-end tests.

#include "driver/front/StatusSink.h"

namespace zel {

class StderrStatus : public StatusSink {
 public:
  void SetStatusText(const std::string& text) override;
};

}  // namespace zel
