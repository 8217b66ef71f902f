// ZELdrv for Windows: serves its conversation over DDE and runs the instrument line's commands,
// with its status strip on top of the screen. Its status texts also go to standard error
// ("status: ..."), where a console or a test reads them.

#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "common/MessageBar.h"
#include "common/win32/SystemText.h"
#include "common/win32/WriteBar.h"
#include "ddelink/ServiceName.h"
#include "ddelink/dde/DdeLinkServer.h"
#include "driver/front/DriverFront.h"
#include "driver/front/DriverWords.h"
#include "driver/front/StderrStatus.h"
#include "driver/front/WindowRelay.h"
#include "driver/front/win32/AboutBox.h"
#include "driver/front/win32/MainForm.h"

using namespace zel;

namespace {

std::string ProgramPath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// A start that fails is told where someone will read it: on standard error when the driver was
// started with one (a console, a script, a test), else in a message box.
void ReportStartFailure(StderrStatus& echo, const std::string& text) {
  const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE);
  if (errors != nullptr && errors != INVALID_HANDLE_VALUE) {
    echo.Report(text);
  } else {
    MessageBoxA(nullptr, text.c_str(), ProgramTitle, MB_OK | MB_ICONERROR);
  }
}

// The folder of the program file, with its trailing backslash.
std::string ProgramDirectory(const std::string& programPath) {
  return programPath.substr(0, programPath.find_last_of("\\/") + 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  WindowRelay window;  // the main window, once there is one
  SteadyClock clock;
  DriverFront front(window, window, clock);
  StderrStatus echo;

  // The service is registered before any window exists; its name is our own file name.
  const std::string programPath = ProgramPath();
  const std::string service = ServiceNameFromProgramPath(programPath);
  DdeLinkServer link(front.ZELdriver);
  link.ServeBroadcast(front.ZELmonitor);
  const Outcome<LinkServer::RegisterError> registered = link.Register(service);
  if (!registered.Ok()) {
    ReportStartFailure(echo, service + ": " + registered.text);
    return 1;
  }
  const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};  // the strip's hint
  InitCommonControlsEx(&controls);

  MessageBar messageBar;  // its window comes after the main window and the About box
  auto comProperties = std::make_unique<TComProperties>(
      MakePlatformSerialPort(), ProgramDirectory(programPath) + ConfigurationFileName, messageBar);
  comProperties->ReportFailure = [&echo](const std::string& line) { echo.Report(line); };
  int exitCode = 0;
  {
    win32::TMainForm mainForm(instance, front, std::move(comProperties), &echo);
    if (mainForm.Window() == nullptr) {
      ReportStartFailure(echo, service + ": " + win32::SystemErrorText(GetLastError()));
      return 1;
    }
    window.Attach(&mainForm.Logic(), &mainForm.Logic());
    win32::TAboutBox aboutBox(instance, mainForm.Window());
    mainForm.SetAboutBox(&aboutBox);
    win32::TWriteBar writeBar(instance, mainForm.Window());
    messageBar.Attach(&writeBar);

    // Shown as its starter asked: the test client starts the driver minimised.
    if (show == SW_SHOWMINNOACTIVE || show == SW_SHOWMINIMIZED || show == SW_MINIMIZE) {
      mainForm.Logic().Minimize();
    } else {
      mainForm.Logic().NormalSize();
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    exitCode = static_cast<int>(message.wParam);
    messageBar.Attach(nullptr);
    mainForm.SetAboutBox(nullptr);
    window.Detach();
  }
  link.ServeWhatHasArrived(1000);
  return exitCode;
}
