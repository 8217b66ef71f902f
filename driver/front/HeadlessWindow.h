#pragma once
// The driver's window while it has none on screen: it remembers the state the window commands
// ask for and tells standard error, and closing it ends the program.

#include <functional>
#include <string>

#include "driver/front/DriverWindow.h"

class HeadlessWindow : public DriverWindow {
 public:
  enum class State { Normal, Minimized };

  // onClose runs the window's close handling and ends the program.
  void SetCloseHandler(std::function<void()> onClose) { onClose_ = std::move(onClose); }

  void Minimize() override { SetState(State::Minimized); }
  void NormalSize() override { SetState(State::Normal); }
  void Hide() override;
  void Show() override;
  void Close() override;

  State WindowState() const { return state_; }
  bool Visible() const { return visible_; }

 private:
  void SetState(State state);
  void Report() const;

  State state_ = State::Normal;
  bool visible_ = true;
  std::function<void()> onClose_;
};
