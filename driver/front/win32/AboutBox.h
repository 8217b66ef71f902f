#pragma once
// The About box on Windows: the program's picture, title and release on a white panel, and an OK
// button. Made hidden once, owned by the main window; its ids are in DriverResources.h.

#include <windows.h>

#include "common/win32/Dialog.h"

namespace zel::win32 {

class TAboutBox : public Dialog {
 public:
  TAboutBox(HINSTANCE instance, HWND owner);
  ~TAboutBox() override;

  // Shows the box centred and returns once it is closed.
  void ShowModal() { RunModal(Control(IDOK)); }

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  Font textFont_{13, false, L"MS Sans Serif"};
  Font titleFont_{17, true, L"MS Shell Dlg 2"};
  HBITMAP picture_ = nullptr;
};

}  // namespace zel::win32
