// ZELcli for Windows: the test client with which a person works the driver ZELdrv by hand.

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include "client/ClientLink.h"
#include "client/win32/ClientWindow.h"
#include "common/MessageBar.h"
#include "common/win32/SystemText.h"
#include "common/win32/WriteBar.h"

using namespace zel;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  MessageBar messageBar;
  ClientLink link;
  // The window's creation opens the conversation and starts the driver when none answers.
  win32::ClientWindow form(instance, link, messageBar);
  if (!form.Created()) {
    MessageBoxW(nullptr, win32::Wide(win32::SystemErrorText(GetLastError())).c_str(),
                win32::Wide(ClientCaption, win32::Utf8CodePage).c_str(), MB_OK | MB_ICONERROR);
    return 1;
  }
  // The message bar comes after the main window, which owns it.
  win32::TWriteBar writeBar(instance, form.Handle());
  messageBar.Attach(&writeBar);
  form.Show(showCommand);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form.TakeDialogMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  messageBar.Attach(nullptr);
  return static_cast<int>(message.wParam);
}
