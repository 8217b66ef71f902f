#pragma once
// The server side of the link, as the driver sees it, whatever carries it.

#include <string>

namespace zel {

class LinkServer {
 public:
  virtual ~LinkServer() = default;

  enum class RegisterOutcome { Registered, AlreadyServed, Failed };
  // Makes the service reachable. AlreadyServed: a live program serves this name; it is never
  // taken over. Failed: `error` says why.
  virtual RegisterOutcome Register(const std::string& service, std::string& error) = 0;
};

}  // namespace zel
