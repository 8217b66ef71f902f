#include "driver/port/win32/ComPropertiesDialog.h"

#include "common/win32/SystemText.h"
#include "driver/port/SerialDevices.h"
#include "driver/port/win32/SetupDialogResources.h"

namespace zel::win32 {

namespace {

constexpr int ListLines = 10;  // what a dropped list shows before it scrolls

int ScreenDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : SetupDesignDpi;
}

int FieldId(int field) { return IDC_PORTNUMCBOX + field; }

// The index of the item that is exactly `text`; CB_FINDSTRINGEXACT ignores case.
LRESULT ItemOf(HWND box, const std::wstring& text) {
  const LRESULT count = SendMessageW(box, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length != static_cast<LRESULT>(text.size())) continue;
    std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<std::size_t>(length));
    if (item == text) return i;
  }
  return CB_ERR;
}

}  // namespace

TComPropertiesDialog::TComPropertiesDialog(HINSTANCE instance, HWND owner)
    : dpi_(ScreenDpi()), font_(Scaled(SetupFontPixels), false, L"MS Shell Dlg 2") {
  Create(instance, IDD_SETUPDIALOG, owner);
  if (Window() == nullptr) return;
  SendMessageW(Window(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
  for (HWND child = GetWindow(Window(), GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Handle()), FALSE);
  }
  SetClientSize(Scaled(SetupClientWidth), Scaled(SetupClientHeight));

  for (int field = 0; field < SetupFieldCount; ++field) {
    const SetupFieldLayout& layout = SetupFieldLayouts[field];
    const int label = IDC_LABEL1 + layout.labelNumber - 1;
    FitToText(label);
    SetWindowPos(Control(label), nullptr, Scaled(layout.labelLeft), Scaled(layout.labelTop), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceField(FieldId(field), layout.field);
  }
  PlaceButton(IDC_BTOK, SetupOkPlace);
  PlaceButton(IDC_BTCANCEL, SetupCancelPlace);

  const std::vector<std::string> devices = SerialDeviceNames();
  for (int field = 0; field < SetupFieldCount; ++field) {
    const HWND box = Control(FieldId(field));
    for (const std::string& item : SetupFieldItems(static_cast<SetupField>(field), devices)) {
      SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
    }
  }
}

int TComPropertiesDialog::Scaled(int designPixels) const {
  return MulDiv(designPixels, dpi_, SetupDesignDpi);
}

void TComPropertiesDialog::PlaceButton(int id, const SetupPlace& place) {
  Place(id, Scaled(place.left), Scaled(place.top), Scaled(place.width), Scaled(place.height));
}

// The height given to a drop-down list's window is that of its dropped list; its edit field is
// then sized apart, measured and corrected once: Wine's combo box adds to the height it is given.
void TComPropertiesDialog::PlaceField(int id, const SetupPlace& place) {
  const HWND box = Control(id);
  const int field = Scaled(place.height);
  Place(id, Scaled(place.left), Scaled(place.top), Scaled(place.width), field * (ListLines + 1));
  const auto height = [box] {
    RECT frame;
    GetWindowRect(box, &frame);
    return static_cast<int>(frame.bottom - frame.top);
  };
  const auto edit = [box] {
    return static_cast<int>(SendMessageW(box, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  };
  int wanted = edit() + field - height();
  SendMessageW(box, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), wanted);
  wanted += field - height();
  SendMessageW(box, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), wanted);
}

void TComPropertiesDialog::SetFieldTexts(const SetupFieldTexts& texts) {
  for (int field = 0; field < SetupFieldCount; ++field) {
    const HWND box = Control(FieldId(field));
    const std::wstring text = Wide(texts[static_cast<std::size_t>(field)]);
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(ItemOf(box, text)), 0);
    SetWindowTextW(box, text.c_str());
  }
}

SetupFieldTexts TComPropertiesDialog::FieldTexts() const {
  SetupFieldTexts texts;
  for (int field = 0; field < SetupFieldCount; ++field) {
    texts[static_cast<std::size_t>(field)] = ControlText(Control(FieldId(field)));
  }
  return texts;
}

bool TComPropertiesDialog::RunModal() { return Dialog::RunModal(Control(IDC_PORTNUMCBOX)) == IDOK; }

INT_PTR TComPropertiesDialog::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND) return FALSE;
  // Enter in a field comes as IDOK and is ignored: only the button confirms.
  switch (LOWORD(wParam)) {
    case IDC_BTOK:
      if (HIWORD(wParam) == BN_CLICKED) End(IDOK);
      return TRUE;
    case IDC_BTCANCEL:  // the button, Esc, or a close of the window
      End(IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace zel::win32
