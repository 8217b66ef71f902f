#pragma once
// A window built from a dialog template, created hidden and kept for the program's life, and the
// modal run that shows it again each time: the owner is disabled and the dialog's own message
// loop runs until the dialog is ended, the program ends (WM_QUIT) or the object is destroyed.

#include <windows.h>

#include <string>

namespace zel::win32 {

// A font made for a window and deleted with it; heights are character heights in pixels.
class Font {
 public:
  Font(int pixels, bool bold, const wchar_t* face, BYTE charset = DEFAULT_CHARSET);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  HFONT Handle() const { return handle_; }

 private:
  HFONT handle_;
};

class Dialog {
 public:
  virtual ~Dialog();  // destroys the window; a modal run of it returns at once
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Null when the system refused to create it (the reason is in GetLastError()).
  HWND Window() const { return window_; }
  HWND Control(int id) const { return GetDlgItem(window_, id); }

  // Ends every modal run that is open, the innermost first, with `result`.
  static void EndModalRuns(INT_PTR result);

 protected:
  Dialog() = default;
  // Creates the dialog of resource `templateId` hidden; `owner` may be null. Called from the
  // derived constructor's body: the dialog's messages go to OnMessage from then on.
  void Create(HINSTANCE instance, int templateId, HWND owner);

  // Centres the window on the screen, shows it with the focus in `focus` and runs it modally.
  // The result given to End; IDCANCEL when WM_QUIT or the object's destruction ended the run, and
  // after a destruction nothing of the object may be touched.
  INT_PTR RunModal(HWND focus);
  // Ends the modal run, if there is one, with `result`.
  void End(INT_PTR result);

  // The dialog's messages, answered as a dialog procedure does: FALSE when not handled.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  // Sizes the window to a client area of width x height pixels, keeping its place.
  void SetClientSize(int width, int height);
  void Place(int id, int left, int top, int width, int height);
  // Gives the control the width and height of its text in its font, keeping its place.
  void FitToText(int id);
  void SetFont(int id, const Font& font);

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CentreOnScreen();

  HWND window_ = nullptr;
  bool* destroyed_ = nullptr;  // set while a modal run is open
  bool ended_ = false;
  INT_PTR result_ = IDCANCEL;
};

// A window's whole text.
std::wstring WindowText(HWND window);
// The control's text, in the ANSI code page.
std::string ControlText(HWND control);
// The size of the control's text in its font: its width, and the font's line height.
SIZE TextExtent(HWND control);

}  // namespace zel::win32
