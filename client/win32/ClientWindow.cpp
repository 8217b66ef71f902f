#include "client/win32/ClientWindow.h"

#include <optional>

#include "client/EntryCheck.h"
#include "client/win32/ClientResources.h"
#include "client/win32/DialogPixels.h"
#include "common/win32/Dialog.h"
#include "common/win32/SystemText.h"

namespace zel::win32 {

namespace {

struct ButtonId {
  ClientButton button;
  int id;
};

constexpr ButtonId Buttons[ClientButtonCount] = {
    {ClientButton::Poke, IDC_POKEBUTTON},
    {ClientButton::Send, IDC_SENDBUTTON},
    {ClientButton::SendDump, IDC_SENDDUMPBUTTON},
    {ClientButton::ESend, IDC_ESENDBTN},
    {ClientButton::ESendDump, IDC_ESENDDUMPBTN},
    {ClientButton::Clear, IDC_CLEARBUTTON},
    {ClientButton::Receive, IDC_RECEIVEBUTTON},
    {ClientButton::ReceiveDump, IDC_RECEIVEDUMPBUTTON},
    {ClientButton::Min, IDC_MINBUTTON},
    {ClientButton::Rest, IDC_RESTBUTTON},
    {ClientButton::Hide, IDC_HIDEBUTTON},
    {ClientButton::Show, IDC_SHOWBUTTON},
    {ClientButton::Version, IDC_VERSIONBTN},
    {ClientButton::State, IDC_STATEBTN},
    {ClientButton::SetDTR, IDC_SETDTRBTN},
    {ClientButton::MoveDTR, IDC_MOVEDTRBTN},
    {ClientButton::SetRTS, IDC_SETRTSBTN},
    {ClientButton::MoveRTS, IDC_MOVERTSBTN},
    {ClientButton::Exit, IDC_BUTTON4},
};

int IdOf(ClientButton button) {
  for (const ButtonId& entry : Buttons)
    if (entry.button == button) return entry.id;
  return 0;
}

std::optional<ClientButton> ButtonOf(int id) {
  for (const ButtonId& entry : Buttons)
    if (entry.id == id) return entry.button;
  return std::nullopt;
}

int IdOf(AddressField field) {
  switch (field) {
    case AddressField::HiTo:
      return IDC_HITOEDIT;
    case AddressField::LoTo:
      return IDC_LOTOEDIT;
    case AddressField::HiFrom:
      return IDC_HIFROMEDIT;
    case AddressField::LoFrom:
      return IDC_LOFROMEDIT;
  }
  return 0;
}

bool IsEntryControl(int id) {
  return id == IDC_HITOEDIT || id == IDC_LOTOEDIT || id == IDC_HIFROMEDIT || id == IDC_LOFROMEDIT ||
         id == IDC_MEMO;
}

constexpr COLORREF Black = RGB(0, 0, 0);
constexpr COLORREF Lime = RGB(0, 255, 0);

BOOL CALLBACK SetFontOf(HWND control, LPARAM font) {
  SendMessageW(control, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

// Labels grow to their text, as the text's face may be wider than the one the layout was made
// for (another face stands in where "MS Sans Serif" is missing); they keep their place.
void FitLabelToText(HWND label) {
  const SIZE size = TextExtent(label);
  RECT place;
  GetClientRect(label, &place);
  if (size.cx > place.right)
    SetWindowPos(label, nullptr, 0, 0, size.cx, place.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The edit control shows line ends as CR LF only.
std::string WithCrLf(const std::string& text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) shown += '\r';
    shown += text[i];
  }
  return shown;
}

}  // namespace

ClientWindow::ClientWindow(HINSTANCE instance, ClientLink& link, Notice& answers)
    : instance_(instance),
      answers_(answers),
      logic_(*this, link),
      // Heights are character heights in pixels, not scaled with the screen. The Cyrillic
      // character set makes the font mapper pick a face that has the Russian captions' letters.
      windowFont_(13, false, L"MS Sans Serif", RUSSIAN_CHARSET),
      addressFont_(20, false, L"MS Sans Serif", RUSSIAN_CHARSET),
      memoFont_(17, false, L"MS Sans Serif", RUSSIAN_CHARSET),
      resultFont_(13, true, L"MS Sans Serif", RUSSIAN_CHARSET) {
  CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_CLIENT), nullptr, Procedure,
                     reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) return;
  logic_.FormCreate();
}

ClientWindow::~ClientWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

bool ClientWindow::InitDialog(HWND window) {
  window_ = window;
  SetWindowTextW(window_, Wide(ClientCaption, Utf8CodePage).c_str());
  PlaceAtTemplatePixels(window_, instance_, IDD_CLIENT);
  EnumChildWindows(window_, SetFontOf, reinterpret_cast<LPARAM>(windowFont_.Handle()));
  for (AddressField field :
       {AddressField::HiTo, AddressField::LoTo, AddressField::HiFrom, AddressField::LoFrom})
    SetFontOf(Control(IdOf(field)), reinterpret_cast<LPARAM>(addressFont_.Handle()));
  SetFontOf(Control(IDC_MEMO), reinterpret_cast<LPARAM>(memoFont_.Handle()));
  SetFontOf(Control(IDC_RETMEMO), reinterpret_cast<LPARAM>(resultFont_.Handle()));
  for (int label : {IDC_LABEL1, IDC_LABEL2, IDC_LABEL3, IDC_LABEL4}) FitLabelToText(Control(label));
  return true;  // the first control in the tab order takes the focus
}

INT_PTR CALLBACK ClientWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    return reinterpret_cast<ClientWindow*>(lParam)->InitDialog(window);
  }
  auto* self = reinterpret_cast<ClientWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      self->Command(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      return self->ControlColors(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (item->CtlID != IDC_BEVEL1) return FALSE;
      DrawEdge(item->hDC, &item->rcItem, BDR_RAISEDINNER, BF_RECT);
      return TRUE;
    }
    case WM_CLOSE:
      self->logic_.FormClose();
      return TRUE;
    case WM_DESTROY:
      self->window_ = nullptr;
      PostQuitMessage(0);
      return TRUE;
    default:
      return FALSE;
  }
}

void ClientWindow::Command(int id, int code) {
  if (code == EN_CHANGE && IsEntryControl(id)) {
    logic_.AnyDataChange();
  } else if (code == BN_CLICKED) {
    if (const std::optional<ClientButton> button = ButtonOf(id)) logic_.Click(*button);
  }
}

INT_PTR ClientWindow::ControlColors(HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  if (id == IDC_RETMEMO) {
    SetTextColor(dc, Lime);
    SetBkColor(dc, Black);
    return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
  }
  if (IsEntryControl(id)) {
    SetTextColor(dc, Black);
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
  }
  return FALSE;
}

void ClientWindow::Show(int showCommand) {
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
}

bool ClientWindow::TakeDialogMessage(MSG& message) {
  return window_ != nullptr && IsDialogMessageW(window_, &message);
}

std::string ClientWindow::FieldText(AddressField field) const {
  return Narrow(WindowText(Control(IdOf(field))), Utf8CodePage);
}

std::vector<std::string> ClientWindow::MemoDisplayedLines() const {
  // The edit control knows where it wrapped: each displayed line's start and length in its text.
  HWND memo = Control(IDC_MEMO);
  const std::wstring text = WindowText(memo);
  const LRESULT count = SendMessageW(memo, EM_GETLINECOUNT, 0, 0);
  std::vector<std::string> lines;
  for (LRESULT line = 0; line < count && line < MemoLinesRead; ++line) {
    const LRESULT start = SendMessageW(memo, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
    if (start < 0 || static_cast<std::size_t>(start) > text.size()) break;
    const LRESULT length = SendMessageW(memo, EM_LINELENGTH, static_cast<WPARAM>(start), 0);
    lines.push_back(
        Narrow(std::wstring_view(text).substr(static_cast<std::size_t>(start),
                                              static_cast<std::size_t>(length < 0 ? 0 : length)),
               Utf8CodePage));
  }
  return lines;
}

void ClientWindow::SetButtonEnabled(ClientButton button, bool enabled) {
  EnableWindow(Control(IdOf(button)), enabled);
}

std::string ClientWindow::ResultText() const { return Narrow(WindowText(Control(IDC_RETMEMO))); }

void ClientWindow::SetResultText(const std::string& text) {
  SetWindowTextW(Control(IDC_RETMEMO), Wide(WithCrLf(text)).c_str());
}

void ClientWindow::ShowEntryError(const std::string& caption, const std::string& text) {
  MessageBoxW(window_, Wide(text, Utf8CodePage).c_str(), Wide(caption, Utf8CodePage).c_str(),
              MB_ICONERROR | MB_OK);
}

void ClientWindow::ShowAnswer(const std::string& text) { answers_.ShowNotice(text); }

void ClientWindow::EndProgram() {
  if (window_ != nullptr) DestroyWindow(window_);
}

}  // namespace zel::win32
