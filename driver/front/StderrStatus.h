#pragma once
// The status echo: the status indicator's texts on standard error, one line each
// ("status: <text>"), besides the window, for a driver run without a screen and for the
// end-to-end tests; the configuration file in use ("configuration: <path>", at start-up); the
// reasons of failures the indicator has no room for ("port: ..."); and, where no message bar
// exists, the notices ("notice: ...").

#include "common/Notice.h"
#include "driver/front/StatusSink.h"

namespace zel {

class StderrStatus : public StatusSink, public Notice {
 public:
  void SetStatusText(const std::string& text) override;
  void ShowNotice(const std::string& text) override;
  // One line as it stands.
  void Report(const std::string& line);
};

}  // namespace zel
