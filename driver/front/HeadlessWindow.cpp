#include "driver/front/HeadlessWindow.h"

#include <cstdio>

void HeadlessWindow::SetState(State state) {
  // A hidden window only remembers the new state; it comes back with "Show".
  state_ = state;
  Report();
}

void HeadlessWindow::Hide() {
  visible_ = false;
  Report();
}

void HeadlessWindow::Show() {
  visible_ = true;
  Report();
}

void HeadlessWindow::Close() {
  if (onClose_) onClose_();
}

void HeadlessWindow::Report() const {
  std::fprintf(stderr, "window: %s, %s\n", state_ == State::Normal ? "normal" : "minimized",
               visible_ ? "shown" : "hidden");
  std::fflush(stderr);
}
