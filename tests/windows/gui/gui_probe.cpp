// gui_probe: drives the windows of other programs through their messages, as a person would with
// mouse and keyboard, and reports what it finds. It carries out the actions of its command line in
// order and prints one line for each.
//   gui_probe [-t MS] ACTION...
//   window CAPTION  wait for a visible top-level window with this caption: the current window and
//                   the target from now on
//   gone CAPTION    wait until no visible top-level window has this caption
//   control ID      the current window's control with this id (any depth) becomes the target
//   command ID      post WM_COMMAND with this id (a menu item, IDOK...) to the current window
//   click           click the target button and wait for its handler. Refused when the button
//                   is disabled, as it would refuse a person. The button's window gets
//                   BN_CLICKED as from the button: BM_CLICK works only in the active window
//   set TEXT        set the target's text (WM_SETTEXT) and wait for the handlers of the change
//   async           the next click or set does not wait: for handlers that open a modal window
//   finish          wait until the handlers of every async click or set have returned
//   text            print the target's text
//   enabled         print whether the target takes input: "enabled yes" or "enabled no"
//   rect            print the target's window on the screen: "rect LEFT TOP WIDTH HEIGHT"
//   client          the same for its client area: "client LEFT TOP WIDTH HEIGHT"
//   style           print those of the target's style flags that tests ask about
//   shot FILE       save the target's picture, as the screen shows it, as binary netpbm (PPM):
//                   "shot WIDTH HEIGHT"
//   sleep MS        let the windows catch up, e.g. paint
// Texts are UTF-8 on the command line and in the output. Waits end after MS (default 10000).
// Exit status: 0 all done; 2 an action failed, said on standard error; 1 a bad command line.

#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

DWORD waitMs = 10000;
std::atomic<int> pending{0};  // async sends whose handlers have not returned

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

// Text in double quotes; CR, LF, backslash, quote and other control characters escaped, the rest
// as UTF-8.
std::string Quoted(const std::wstring& text) {
  std::string quoted = "\"";
  for (const char c : Utf8(text)) {
    const unsigned char byte = static_cast<unsigned char>(c);
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02x", byte);
    if (c == '\r' || c == '\n')
      quoted += c == '\r' ? "\\r" : "\\n";
    else if (c == '\\' || c == '"')
      quoted += std::string("\\") + c;
    else
      quoted += byte < 0x20 || byte == 0x7f ? std::string(escape) : std::string(1, c);
  }
  return quoted + "\"";
}

// Polls `found` until it is true or the wait has passed; its last value.
template <typename Found>
bool WaitFor(Found found) {
  const ULONGLONG deadline = GetTickCount64() + waitMs;
  for (;;) {
    if (found()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(20);
  }
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, waitMs, &length))
    return L"";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_NORMAL, waitMs, &copied);
  text.resize(copied);
  return text;
}

HWND TopLevel(const std::wstring& caption) {
  struct Search {
    const std::wstring& caption;
    HWND found;
  } search{caption, nullptr};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& wanted = *reinterpret_cast<Search*>(data);
        wchar_t text[512] = L"";
        GetWindowTextW(window, text, 512);  // the caption, without asking the window's thread
        if (!IsWindowVisible(window) || wanted.caption != text) return TRUE;
        wanted.found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND Control(HWND window, int id) {
  struct Search {
    int id;
    HWND found;
  } search{id, nullptr};
  EnumChildWindows(
      window,
      [](HWND child, LPARAM data) -> BOOL {
        auto& wanted = *reinterpret_cast<Search*>(data);
        if (GetDlgCtrlID(child) != wanted.id) return TRUE;
        wanted.found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Clicks `button` (WM_COMMAND BN_CLICKED to its window), or else sets the text of `to` to `text`,
// and waits for the handler; `async` leaves it to a thread of its own, which the end of the
// program may cut short. False when the handler did not finish in time.
bool Deliver(HWND to, HWND button, const std::wstring& text, bool async) {
  auto send = [to, button](const std::wstring& copy, DWORD ms) {
    const UINT message = button != nullptr ? WM_COMMAND : WM_SETTEXT;
    const WPARAM word = button != nullptr ? MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED) : 0;
    const LPARAM last = button != nullptr ? reinterpret_cast<LPARAM>(button)
                                          : reinterpret_cast<LPARAM>(copy.c_str());
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(to, message, word, last, SMTO_NORMAL, ms, &result) == 0)
      return GetLastError() != ERROR_TIMEOUT;  // a program that ends in its handler took it
    // A person's click or key ends with a message posted to the window's queue, which wakes
    // a modal loop waiting there to look whether its dialog has ended.
    PostMessageW(to, WM_NULL, 0, 0);
    return true;
  };
  if (!async) return send(text, waitMs);
  ++pending;
  std::thread([send, text] {
    send(text, INFINITE);
    --pending;
  }).detach();
  return true;
}

struct Rect {
  LONG left, top, width, height;
};

Rect ClientRect(HWND window) {
  RECT inside{};
  GetClientRect(window, &inside);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  return {origin.x, origin.y, inside.right, inside.bottom};
}

Rect WindowRect(HWND window) {
  RECT outside{};
  GetWindowRect(window, &outside);
  return {outside.left, outside.top, outside.right - outside.left, outside.bottom - outside.top};
}

std::string Styles(HWND window) {
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  const LONG extended = GetWindowLongW(window, GWL_EXSTYLE);
  const struct {
    LONG bits;
    bool extended;
    const char* name;
  } flags[] = {
      {WS_CAPTION, false, "caption"},         {WS_SYSMENU, false, "sysmenu"},
      {WS_MINIMIZEBOX, false, "minimizebox"}, {WS_MAXIMIZEBOX, false, "maximizebox"},
      {WS_THICKFRAME, false, "sizebox"},      {WS_MINIMIZE, false, "minimized"},
      {WS_EX_TOPMOST, true, "topmost"},       {WS_EX_DLGMODALFRAME, true, "dialogframe"},
  };
  std::string names;
  for (const auto& flag : flags) {
    const LONG bits = flag.extended ? extended : style;
    if ((bits & flag.bits) == flag.bits) names += std::string(" ") + flag.name;
  }
  return names;
}

// The screen's pixels under the window: what a person sees, caption and overlapping windows
// included.
bool Shot(HWND window, const std::wstring& path, Rect& area) {
  area = WindowRect(window);
  if (area.width <= 0 || area.height <= 0) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = area.width;
  info.bmiHeader.biHeight = -area.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, area.width, area.height, screen, area.left, area.top,
                             SRCCOPY | CAPTUREBLT) != 0;
  GdiFlush();
  // A binary netpbm picture, the simplest there is; the tests make PNGs of it.
  std::string picture =
      "P6\n" + std::to_string(area.width) + " " + std::to_string(area.height) + "\n255\n";
  const auto* pixel = static_cast<const unsigned char*>(bits);
  for (LONG n = 0; copied && n < area.width * area.height; ++n, pixel += 4)
    picture += {char(pixel[2]), char(pixel[1]), char(pixel[0])};
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!copied) return false;
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(picture.data(), 1, picture.size(), file) == picture.size();
  return std::fclose(file) == 0 && written;
}

int Failed(const std::string& action, const std::string& why) {
  std::fprintf(stderr, "gui_probe: %s: %s\n", action.c_str(), why.c_str());
  return 2;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> arguments(wide + 1, wide + count);
  LocalFree(wide);
  std::size_t at = 0;
  if (arguments.size() >= 2 && arguments[0] == L"-t") {
    waitMs = static_cast<DWORD>(std::wcstoul(arguments[1].c_str(), nullptr, 10));
    at = 2;
  }

  HWND window = nullptr;
  HWND target = nullptr;
  bool async = false;
  int status = 0;
  for (; at < arguments.size() && status == 0; ++at) {
    const std::string action = Utf8(arguments[at]);
    const bool hasArgument = action == "window" || action == "gone" || action == "control" ||
                             action == "command" || action == "set" || action == "shot" ||
                             action == "sleep";
    if (hasArgument && at + 1 == arguments.size()) return Failed(action, "needs a value") - 1;
    const std::wstring argument = hasArgument ? arguments[++at] : L"";
    const int number = std::wcstol(argument.c_str(), nullptr, 0);
    const bool needsTarget = action == "click" || action == "set" || action == "text" ||
                             action == "enabled" || action == "rect" || action == "client" ||
                             action == "style" || action == "shot";
    if (needsTarget && target == nullptr) {
      status = Failed(action, "no window yet");
      break;
    }
    std::string said;  // printed after the action's name; empty: "ok"
    if (action == "window") {
      if (!WaitFor([&] { return (window = TopLevel(argument)) != nullptr; }))
        status = Failed(action, "no window " + Quoted(argument));
      target = window;
    } else if (action == "gone") {
      if (!WaitFor([&] { return TopLevel(argument) == nullptr; }))
        status = Failed(action, "still there: " + Quoted(argument));
    } else if (action == "control") {
      target = window != nullptr ? Control(window, number) : nullptr;
      if (target == nullptr) status = Failed(action, "no control " + Utf8(argument));
    } else if (action == "command") {
      if (window == nullptr || !PostMessageW(window, WM_COMMAND, MAKEWPARAM(number, 0), 0))
        status = Failed(action, "not posted");
    } else if (action == "click" || action == "set") {
      const bool click = action == "click";
      if (click && !IsWindowEnabled(target))
        status = Failed(action, "disabled");
      else if (!Deliver(click ? GetParent(target) : target, click ? target : nullptr, argument,
                        async))
        status = Failed(action, "still busy");
      async = false;
    } else if (action == "async") {
      async = true;
      continue;
    } else if (action == "finish") {
      if (!WaitFor([] { return pending == 0; })) status = Failed(action, "still busy");
    } else if (action == "text") {
      said = " " + Quoted(TextOf(target));
    } else if (action == "enabled") {
      said = IsWindowEnabled(target) ? " yes" : " no";
    } else if (action == "rect" || action == "client" || action == "shot") {
      Rect area = action == "rect" ? WindowRect(target) : ClientRect(target);
      if (action == "shot" && !Shot(target, argument, area))
        status = Failed(action, "no picture of the window");
      char figures[64];
      if (action == "shot")
        std::snprintf(figures, sizeof figures, " %ld %ld", area.width, area.height);
      else
        std::snprintf(figures, sizeof figures, " %ld %ld %ld %ld", area.left, area.top, area.width,
                      area.height);
      said = figures;
    } else if (action == "style") {
      said = Styles(target);
    } else if (action == "sleep") {
      Sleep(static_cast<DWORD>(number));
    } else {
      return Failed(action, "unknown action") - 1;
    }
    if (status == 0) std::printf("%s%s\n", action.c_str(), said.empty() ? " ok" : said.c_str());
  }
  std::fflush(stdout);
  return status;
}
