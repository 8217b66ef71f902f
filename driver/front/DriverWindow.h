#pragma once

namespace zel {

// What the commands need of the driver's main window.

class DriverWindow {
 public:
  virtual ~DriverWindow() = default;
  virtual void Minimize() = 0;
  virtual void NormalSize() = 0;
  virtual void Hide() = 0;
  virtual void Show() = 0;  // also brings the window to the front
  // Closes the window the way its close box does; the program ends.
  virtual void Close() = 0;
};

}  // namespace zel
