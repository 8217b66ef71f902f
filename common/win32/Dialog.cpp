#include "common/win32/Dialog.h"

#include <algorithm>
#include <vector>

#include "common/win32/SystemText.h"

namespace zel::win32 {

namespace {

// The open modal runs, the innermost last.
std::vector<Dialog*>& OpenRuns() {
  static std::vector<Dialog*> runs;
  return runs;
}

void Forget(Dialog* dialog) {
  auto& runs = OpenRuns();
  runs.erase(std::remove(runs.begin(), runs.end(), dialog), runs.end());
}

}  // namespace

Font::Font(int pixels, bool bold, const wchar_t* face, BYTE charset)
    : handle_(CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                          charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          VARIABLE_PITCH | FF_SWISS, face)) {}

Font::~Font() {
  if (handle_ != nullptr) DeleteObject(handle_);
}

void Dialog::Create(HINSTANCE instance, int templateId, HWND owner) {
  CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), owner, Procedure,
                     reinterpret_cast<LPARAM>(this));
}

Dialog::~Dialog() {
  if (destroyed_ != nullptr) *destroyed_ = true;
  Forget(this);
  if (window_ == nullptr) return;
  // Messages that come while it goes must not reach the half-destroyed object.
  SetWindowLongPtrW(window_, DWLP_USER, 0);
  DestroyWindow(window_);
}

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window_ = window;
  }
  auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  const INT_PTR answer = self->OnMessage(message, wParam, lParam);
  // No focus while hidden: setting it would activate the hidden window. RunModal sets it.
  if (message == WM_INITDIALOG) return FALSE;
  if (message == WM_NCDESTROY) self->window_ = nullptr;
  return answer;
}

INT_PTR Dialog::RunModal(HWND focus) {
  if (window_ == nullptr || destroyed_ != nullptr) return IDCANCEL;  // gone, or open already
  const HWND owner = GetWindow(window_, GW_OWNER);
  // A dialog run from another's loop leaves the owner as that one keeps it.
  const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);

  bool destroyed = false;
  destroyed_ = &destroyed;
  ended_ = false;
  result_ = IDCANCEL;
  OpenRuns().push_back(this);
  CentreOnScreen();
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  if (focus != nullptr) SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);

  MSG message;
  // The window also goes when its owner is destroyed.
  while (!destroyed && !ended_ && window_ != nullptr) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // The program is ending: the loops below ours must see it too.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    if (!IsDialogMessageW(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  // The owner first, or the system activates some other program's window as ours goes.
  if (disableOwner) EnableWindow(owner, TRUE);
  if (destroyed) return IDCANCEL;
  destroyed_ = nullptr;
  Forget(this);
  if (window_ != nullptr) ShowWindow(window_, SW_HIDE);
  return ended_ ? result_ : IDCANCEL;
}

void Dialog::End(INT_PTR result) {
  if (destroyed_ == nullptr || ended_) return;
  ended_ = true;
  result_ = result;
  // Ended from a message sent by another thread, the loop would sleep on in GetMessage.
  PostMessageW(window_, WM_NULL, 0, 0);
}

void Dialog::EndModalRuns(INT_PTR result) {
  const std::vector<Dialog*> runs = OpenRuns();
  for (auto run = runs.rbegin(); run != runs.rend(); ++run) (*run)->End(result);
}

void Dialog::CentreOnScreen() {
  RECT frame;
  GetWindowRect(window_, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(window_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Dialog::SetClientSize(int width, int height) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE));
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, style, GetMenu(window_) != nullptr, exStyle);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A menu bar may take more room than AdjustWindowRectEx reckons with: measure and correct.
  RECT client;
  GetClientRect(window_, &client);
  if (client.right == width && client.bottom == height) return;
  RECT now;
  GetWindowRect(window_, &now);
  SetWindowPos(window_, nullptr, 0, 0, now.right - now.left + width - client.right,
               now.bottom - now.top + height - client.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Dialog::Place(int id, int left, int top, int width, int height) {
  SetWindowPos(Control(id), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Dialog::FitToText(int id) {
  const SIZE size = TextExtent(Control(id));
  SetWindowPos(Control(id), nullptr, 0, 0, size.cx, size.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Dialog::SetFont(int id, const Font& font) {
  SendMessageW(Control(id), WM_SETFONT, reinterpret_cast<WPARAM>(font.Handle()), TRUE);
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::string ControlText(HWND control) { return Narrow(WindowText(control)); }

SIZE TextExtent(HWND control) {
  const std::wstring text = WindowText(control);
  const HDC context = GetDC(control);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = SelectObject(context, font);
  SIZE size{0, 0};
  TEXTMETRICW metrics{};
  GetTextMetricsW(context, &metrics);
  GetTextExtentPoint32W(context, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(context, previous);
  ReleaseDC(control, context);
  return {size.cx, metrics.tmHeight};
}

}  // namespace zel::win32
