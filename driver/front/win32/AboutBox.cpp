#include "driver/front/win32/AboutBox.h"

#include <string>

#include "common/win32/SystemText.h"
#include "driver/front/DriverWords.h"
#include "driver/front/win32/DriverResources.h"

namespace zel::win32 {

namespace {

constexpr int ClientWidth = 298;
constexpr int ClientHeight = 209;
constexpr int PicturePixels = 100;
const COLORREF Teal = RGB(0, 128, 128);

// The status strip's black and teal, with a frame going down the line: a start bit, data bits,
// the stop level.
HBITMAP DrawPicture() {
  const HDC screen = GetDC(nullptr);
  const HDC context = CreateCompatibleDC(screen);
  const HBITMAP picture = CreateCompatibleBitmap(screen, PicturePixels, PicturePixels);
  ReleaseDC(nullptr, screen);
  const HGDIOBJ previousBitmap = SelectObject(context, picture);

  RECT all{0, 0, PicturePixels, PicturePixels};
  FillRect(context, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const HPEN rim = CreatePen(PS_SOLID, 2, RGB(64, 64, 64));
  const HGDIOBJ previousPen = SelectObject(context, rim);
  const HGDIOBJ previousBrush = SelectObject(context, GetStockObject(BLACK_BRUSH));
  RoundRect(context, 4, 4, 96, 96, 20, 20);

  const LOGBRUSH tealBrush{BS_SOLID, Teal, 0};
  const HPEN wave = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_SQUARE | PS_JOIN_MITER, 3,
                                 &tealBrush, 0, nullptr);
  SelectObject(context, wave);
  constexpr int High = 34;
  constexpr int Low = 54;
  const bool levels[] = {true, false, true, false, false, true, true, false, true, true};
  POINT points[2 * std::size(levels) + 2];
  int count = 0;
  double x = 12;
  points[count++] = {12, High};
  for (bool bit : levels) {
    const int level = bit ? High : Low;
    points[count++] = {static_cast<int>(x), level};
    x += 7.6;
    points[count++] = {static_cast<int>(x), level};
  }
  points[count] = {88, points[count - 1].y};
  ++count;
  Polyline(context, points, count);

  const Font label(20, true, L"MS Shell Dlg 2");
  const HGDIOBJ previousFont = SelectObject(context, label.Handle());
  SetTextColor(context, RGB(255, 255, 255));
  SetBkMode(context, TRANSPARENT);
  RECT below{4, 62, 96, 90};
  DrawTextW(context, L"ZEL", -1, &below, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  SelectObject(context, previousFont);
  SelectObject(context, previousBrush);
  SelectObject(context, previousPen);
  SelectObject(context, previousBitmap);
  DeleteObject(wave);
  DeleteObject(rim);
  DeleteDC(context);
  return picture;
}

}  // namespace

TAboutBox::TAboutBox(HINSTANCE instance, HWND owner) {
  Create(instance, IDD_ABOUTBOX, owner);
  if (Window() == nullptr) return;
  SetClientSize(ClientWidth, ClientHeight);
  Place(IDC_ABOUTPANEL, 8, 8, 282, 161);

  picture_ = DrawPicture();
  SendMessageW(Control(IDC_PROGRAMICON), STM_SETIMAGE, IMAGE_BITMAP,
               reinterpret_cast<LPARAM>(picture_));
  Place(IDC_PROGRAMICON, 20, 20, PicturePixels, PicturePixels);

  SetFont(IDC_PRODUCTNAME, titleFont_);
  SetWindowTextW(Control(IDC_PRODUCTNAME), Wide(ProgramTitle).c_str());
  Place(IDC_PRODUCTNAME, 136, 32, 0, 0);
  FitToText(IDC_PRODUCTNAME);

  SetFont(IDC_VERSION, textFont_);
  const std::string release = std::string("Release ") + ReleaseNumber + "  (32 bit)";
  SetWindowTextW(Control(IDC_VERSION), Wide(release).c_str());
  Place(IDC_VERSION, 136, 64, 0, 0);
  FitToText(IDC_VERSION);

  SetFont(IDC_OKBUTTON, textFont_);
  Place(IDC_OKBUTTON, 111, 176, 75, 25);
}

TAboutBox::~TAboutBox() {
  if (picture_ != nullptr) DeleteObject(picture_);
}

INT_PTR TAboutBox::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) End(LOWORD(wParam));
      return TRUE;
    case WM_CTLCOLORSTATIC: {  // everything on the panel, and the panel: black on white
      const auto context = reinterpret_cast<HDC>(wParam);
      SetTextColor(context, RGB(0, 0, 0));
      SetBkColor(context, RGB(255, 255, 255));
      return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    }
    default:
      return FALSE;
  }
}

}  // namespace zel::win32
