#pragma once
// The test client's window on Windows: a modeless dialog from the template IDD_CLIENT
// (ZELcli.rc, ids in ClientResources.h), laid out in pixels. It shows and forwards; ClientLogic
// decides.

#include <windows.h>

#include "client/ClientLogic.h"
#include "common/Notice.h"
#include "common/win32/Dialog.h"

namespace zel::win32 {

class ClientWindow : public ClientView {
 public:
  // Creates the window, hidden, and runs FormCreate (the conversation opens, the driver is
  // started if needed). The driver's short answers go to `answers`, the message bar.
  ClientWindow(HINSTANCE instance, ClientLink& link, Notice& answers);
  ~ClientWindow() override;
  ClientWindow(const ClientWindow&) = delete;
  ClientWindow& operator=(const ClientWindow&) = delete;

  // False when the system refused to create it (the reason is in GetLastError()).
  bool Created() const { return window_ != nullptr; }
  HWND Handle() const { return window_; }
  void Show(int showCommand);
  // The dialog's keyboard (Tab, arrows, Enter on a button); true when the message was taken.
  bool TakeDialogMessage(MSG& message);

  std::string FieldText(AddressField field) const override;
  std::vector<std::string> MemoDisplayedLines() const override;
  void SetButtonEnabled(ClientButton button, bool enabled) override;
  std::string ResultText() const override;
  void SetResultText(const std::string& text) override;
  void ShowEntryError(const std::string& caption, const std::string& text) override;
  void ShowAnswer(const std::string& text) override;
  void EndProgram() override;

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool InitDialog(HWND window);
  void Command(int id, int code);
  INT_PTR ControlColors(HDC dc, HWND control);
  HWND Control(int id) const { return GetDlgItem(window_, id); }

  HINSTANCE instance_;
  Notice& answers_;
  ClientLogic logic_;
  HWND window_ = nullptr;
  Font windowFont_;
  Font addressFont_;
  Font memoFont_;
  Font resultFont_;
};

}  // namespace zel::win32
