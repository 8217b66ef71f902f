#include "driver/front/win32/HiddenMainWindow.h"

namespace zel::win32 {

namespace {

constexpr wchar_t ClassName[] = L"TMainForm";
constexpr wchar_t Caption[] = L"ZEL";
constexpr int ClientWidth = 128;
constexpr int ClientHeight = 22;
constexpr DWORD Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_BORDER;

}  // namespace

HiddenMainWindow::HiddenMainWindow(HINSTANCE instance, DriverFront& front,
                                   std::unique_ptr<TComProperties> comProperties)
    : front_(front) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = Procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.lpszClassName = ClassName;
  RegisterClassExW(&windowClass);

  RECT frame{0, 0, ClientWidth, ClientHeight};
  AdjustWindowRectEx(&frame, Style, FALSE, WS_EX_TOPMOST);
  window_ =
      CreateWindowExW(WS_EX_TOPMOST, ClassName, Caption, Style, 0, 0, frame.right - frame.left,
                      frame.bottom - frame.top, nullptr, nullptr, instance, this);
  if (window_ == nullptr) return;
  front_.FormCreate(std::move(comProperties));
}

HiddenMainWindow::~HiddenMainWindow() {
  FormClose();
  if (window_ != nullptr) DestroyWindow(window_);
}

void HiddenMainWindow::FormClose() {
  if (closed_) return;
  closed_ = true;
  front_.FormClose();  // queued commands are dropped from now on; the port is closed
}

void HiddenMainWindow::Minimize() {
  shownMinimized_ = true;
  if (!hidden_) ApplyShownState();
}

void HiddenMainWindow::NormalSize() {
  shownMinimized_ = false;
  if (!hidden_) ApplyShownState();
}

void HiddenMainWindow::Hide() {
  if (!hidden_) shownMinimized_ = IsIconic(window_) != 0;
  hidden_ = true;
  ShowWindow(window_, SW_HIDE);
}

void HiddenMainWindow::Show() {
  hidden_ = false;
  ApplyShownState();
  SetForegroundWindow(window_);
}

void HiddenMainWindow::ApplyShownState() {
  ShowWindow(window_, shownMinimized_ ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
}

// At once, as the close box does: what is queued behind the command finds the driver closing.
void HiddenMainWindow::Close() {
  if (window_ != nullptr) SendMessageW(window_, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK HiddenMainWindow::Procedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* self = reinterpret_cast<HiddenMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_CLOSE:  // the "Close" command, the system menu, or the system ending the program
      if (self != nullptr) self->FormClose();
      DestroyWindow(window);
      return 0;
    case WM_ENDSESSION:
      if (wParam && self != nullptr) self->FormClose();
      return 0;
    case WM_DESTROY:
      if (self != nullptr) self->window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace zel::win32
