#pragma once
// The server side of the link, as the driver sees it, whatever carries it.

#include <string>

#include "common/Outcome.h"

namespace zel {

class LinkServer {
 public:
  virtual ~LinkServer() = default;

  enum class RegisterError {
    None,
    AlreadyServed,  // a live program serves this name; it is never taken over
    Failed,
  };
  // Makes the service reachable; when it cannot, the outcome says why.
  virtual Outcome<RegisterError> Register(const std::string& service) = 0;
};

}  // namespace zel
