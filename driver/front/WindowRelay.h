#pragma once
// The front exists before any window does (its link is served first), so it reaches the main
// window through this relay. Until a window is attached, and after it is detached, window
// commands do nothing and status texts go nowhere.

#include "driver/front/DriverWindow.h"
#include "driver/front/StatusSink.h"

namespace zel {

class WindowRelay : public DriverWindow, public StatusSink {
 public:
  void Attach(DriverWindow* window, StatusSink* status) {
    window_ = window;
    status_ = status;
  }
  void Detach() { Attach(nullptr, nullptr); }

  void Minimize() override {
    if (window_) window_->Minimize();
  }
  void NormalSize() override {
    if (window_) window_->NormalSize();
  }
  void Hide() override {
    if (window_) window_->Hide();
  }
  void Show() override {
    if (window_) window_->Show();
  }
  void Close() override {
    if (window_) window_->Close();
  }
  void SetStatusText(const std::string& text) override {
    if (status_) status_->SetStatusText(text);
  }

 private:
  DriverWindow* window_ = nullptr;
  StatusSink* status_ = nullptr;
};

}  // namespace zel
