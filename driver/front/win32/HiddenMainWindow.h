#pragma once
// The driver's main window on Windows while it has no face yet: a top-level window that is never
// drawn on, placed where the status strip belongs, hidden at start. It takes the window commands
// and ends the program on Close, as the strip does.

#include <windows.h>

#include "driver/front/DriverFront.h"
#include "driver/front/DriverWindow.h"

namespace zel::win32 {

class HiddenMainWindow : public DriverWindow {
 public:
  // Creates the window; its creation takes over the port object, which loads the configuration
  // and sets the port up.
  HiddenMainWindow(HINSTANCE instance, DriverFront& front,
                   std::unique_ptr<TComProperties> comProperties);
  ~HiddenMainWindow() override;
  HiddenMainWindow(const HiddenMainWindow&) = delete;
  HiddenMainWindow& operator=(const HiddenMainWindow&) = delete;

  // False when the system refused to create it (the reason is in GetLastError()).
  bool Created() const { return window_ != nullptr; }

  void Minimize() override;
  void NormalSize() override;
  void Hide() override;
  void Show() override;
  void Close() override;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void FormClose();
  void ApplyShownState();

  DriverFront& front_;
  HWND window_ = nullptr;
  bool hidden_ = true;
  bool shownMinimized_ = false;
  bool closed_ = false;
};

}  // namespace zel::win32
