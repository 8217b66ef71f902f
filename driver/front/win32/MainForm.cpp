#include "driver/front/win32/MainForm.h"

#include <commctrl.h>

#include "common/win32/SystemText.h"
#include "driver/front/DriverWords.h"
#include "driver/front/win32/AboutBox.h"
#include "driver/front/win32/DriverResources.h"

namespace zel::win32 {

namespace {

const COLORREF Teal = RGB(0, 128, 128);

}  // namespace

TMainForm::TMainForm(HINSTANCE instance, DriverFront& front,
                     std::unique_ptr<TComProperties> comProperties, StatusSink* echo)
    : logic_(front, *this, echo) {
  Create(instance, IDD_MAINFORM, nullptr);
  if (Window() == nullptr) return;
  // Pixels as they stand, whatever the screen's resolution.
  SetClientSize(MainClientWidth, MainClientHeight);
  SetFont(IDC_TEXTINDICATOR, indicatorFont_);
  Place(IDC_TEXTINDICATOR, 1, 1, 0, 0);
  AddHint(instance);

  setupDialog_ = std::make_unique<TComPropertiesDialog>(instance, Window());
  setupLogic_ = std::make_unique<SetupDialogLogic>(*setupDialog_);
  logic_.FormCreate(std::move(comProperties), setupLogic_.get());
}

TMainForm::~TMainForm() {
  if (hint_ != nullptr) DestroyWindow(hint_);
}

// The program's title as the window's tooltip, over the whole client area: the static controls
// let the mouse through to the window.
void TMainForm::AddHint(HINSTANCE instance) {
  hint_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Window(),
                          nullptr, instance, nullptr);
  if (hint_ == nullptr) return;
  std::wstring title = Wide(ProgramTitle);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = Window();
  tool.uId = reinterpret_cast<UINT_PTR>(Window());
  tool.lpszText = title.data();
  SendMessageW(hint_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TMainForm::PlaceAtTopLeft(int panelWidth, int panelHeight) {
  SetWindowPos(Window(), nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  Place(IDC_PANEL1, 0, 0, panelWidth, panelHeight);
}

void TMainForm::ShowIndicatorText(const std::string& text) {
  SetWindowTextW(Control(IDC_TEXTINDICATOR), Wide(text).c_str());
  FitToText(IDC_TEXTINDICATOR);
  // The panel beneath keeps what the longer text drew there otherwise.
  InvalidateRect(Control(IDC_PANEL1), nullptr, TRUE);
}

// The window commands leave the keyboard where it is: a client that sends them keeps it.
void TMainForm::ShowNormal() { ShowWindow(Window(), SW_SHOWNOACTIVATE); }

void TMainForm::ShowMinimized() { ShowWindow(Window(), SW_SHOWMINNOACTIVE); }

void TMainForm::HideWindow() { ShowWindow(Window(), SW_HIDE); }

bool TMainForm::IsMinimized() const { return IsIconic(Window()) != 0; }

void TMainForm::BringToFront() {
  SetWindowPos(Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(Window());
}

// At once, as the close box does: what is queued behind the command finds the driver closing.
void TMainForm::CloseWindow() { SendMessageW(Window(), WM_CLOSE, 0, 0); }

void TMainForm::RunAboutBox() {
  if (aboutBox_ != nullptr) aboutBox_->ShowModal();
}

void TMainForm::EndModalWindows() { Dialog::EndModalRuns(IDCANCEL); }

void TMainForm::EndMessageLoop() {
  // Gone from the screen at once, though a menu command's window may still be unwinding.
  ShowWindow(Window(), SW_HIDE);
  PostQuitMessage(0);
}

INT_PTR TMainForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_ABOUT:
          logic_.About1Click();
          break;
        case IDM_CLOSE:
          logic_.Close1Click();
          break;
        case IDM_SETUP:
          logic_.Setup1Click();
          break;
        default:  // Enter and Esc (IDOK, IDCANCEL) do nothing here
          break;
      }
      return TRUE;
    case WM_CLOSE:  // the menu, the system menu, Alt+F4, the command "Close"
      logic_.FormClose();
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) logic_.FormClose();
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      const auto context = reinterpret_cast<HDC>(wParam);
      if (reinterpret_cast<HWND>(lParam) == Control(IDC_TEXTINDICATOR)) {
        SetTextColor(context, Teal);
        SetBkColor(context, RGB(0, 0, 0));
      }
      return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
    }
    default:
      return FALSE;
  }
}

}  // namespace zel::win32
