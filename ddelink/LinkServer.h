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

  // After the program's loop has ended: serves the transactions that already arrived (executes
  // dropped, pokes refused, requests answered) so that a client waiting for the last outcome
  // gets it; returns within about budgetMs.
  virtual void ServeWhatHasArrived(int budgetMs) = 0;
};

}  // namespace zel
