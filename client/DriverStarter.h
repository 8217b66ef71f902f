#pragma once
// Starts the driver program when the client finds none serving: detached, so that it outlives
// the client, and on Windows minimised and not activated. One twin per platform.

#include <memory>
#include <string>

namespace zel {

class DriverStarter {
 public:
  virtual ~DriverStarter() = default;
  // Starts `program` with the one argument `argument`. Empty on success, else why not.
  virtual std::string Start(const std::string& program, const std::string& argument) = 0;
  // The driver program: the client's own folder first, then the search path; empty when there
  // is none.
  virtual std::string FindDriver() const = 0;
  // Whether Start shows the program minimised and not activated; when it cannot, the client
  // minimises the driver by its command once it answers.
  virtual bool StartsMinimized() const = 0;
};

std::unique_ptr<DriverStarter> MakePlatformDriverStarter();

}  // namespace zel
