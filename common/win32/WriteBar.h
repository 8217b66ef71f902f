#pragma once
// The message bar's window on Windows: made hidden once, owned by the program's main window, and
// shown modally for each message. Its ids are in WriteBarResources.h.

#include <windows.h>

#include "common/MessageBar.h"
#include "common/win32/Dialog.h"

namespace zel::win32 {

class TWriteBar : public Dialog, public MessageBarView {
 public:
  TWriteBar(HINSTANCE instance, HWND owner);

  void SetMessageText(const std::string& text) override;
  void RunModal() override;

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  Font messageFont_{MessageTxtPixels, false, L"MS Shell Dlg 2"};
};

}  // namespace zel::win32
