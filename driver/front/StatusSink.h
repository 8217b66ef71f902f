#pragma once

#include <string>

namespace zel {

// The driver's one-line status indicator. The frame operations only ever replace its whole text.
class StatusSink {
 public:
  virtual ~StatusSink() = default;
  virtual void SetStatusText(const std::string& text) = 0;
};

}  // namespace zel
