#pragma once
// A message the user must acknowledge: the message bar in the programs, a recorder in tests.

#include <string>

namespace zel {

class Notice {
 public:
  virtual ~Notice() = default;
  // Shows the text and returns once the user has acknowledged it.
  virtual void ShowNotice(const std::string& text) = 0;
};

}  // namespace zel
