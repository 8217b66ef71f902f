#pragma once
// The status echo: the status indicator's texts on standard error, one line each
// ("status: <text>"), besides the window, for a driver run without a screen and for the
// end-to-end tests; and the reasons of failures the indicator has no room for ("port: ...").

#include "driver/front/StatusSink.h"

namespace zel {

class StderrStatus : public StatusSink {
 public:
  void SetStatusText(const std::string& text) override;
  // One line as it stands.
  void Report(const std::string& line);
};

}  // namespace zel
