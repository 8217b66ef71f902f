#include "common/win32/WriteBar.h"

#include "common/win32/SystemText.h"
#include "common/win32/WriteBarResources.h"

namespace zel::win32 {

TWriteBar::TWriteBar(HINSTANCE instance, HWND owner) {
  Create(instance, IDD_WRITEBAR, owner);
  if (Window() == nullptr) return;
  SetClientSize(MessageBarClientWidth, MessageBarClientHeight);
  const auto place = [this](int id, const MessageBarPlace& at) {
    Place(id, at.left, at.top, at.width, at.height);
  };
  place(IDC_WRITEBAR_MESSAGETXT, MessageTxtPlace);
  place(IDC_WRITEBAR_OKBTN, OkBtnPlace);
  SetFont(IDC_WRITEBAR_MESSAGETXT, messageFont_);
}

void TWriteBar::SetMessageText(const std::string& text) {
  SetWindowTextW(Control(IDC_WRITEBAR_MESSAGETXT), Wide(text).c_str());
}

void TWriteBar::RunModal() { Dialog::RunModal(Control(IDC_WRITEBAR_OKBTN)); }

INT_PTR TWriteBar::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_COMMAND:
      // Only OK ends it; Esc and Alt+F4 come as IDCANCEL and do nothing.
      if (LOWORD(wParam) == IDC_WRITEBAR_OKBTN) End(IDOK);
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      const auto context = reinterpret_cast<HDC>(wParam);
      SetTextColor(context, RGB(0, 0, 0));
      SetBkColor(context, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }
    default:
      return FALSE;
  }
}

}  // namespace zel::win32
