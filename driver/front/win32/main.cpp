// ZELdrv for Windows: serves its conversation over DDE and runs the instrument line's commands.
// Its status texts go to standard error ("status: ..."), where a console or a test reads them.

#include <windows.h>

#include <cstdio>
#include <string>

#include "common/win32/SystemText.h"
#include "ddelink/ServiceName.h"
#include "ddelink/dde/DdeLinkServer.h"
#include "driver/front/DriverFront.h"
#include "driver/front/DriverWords.h"
#include "driver/front/StderrStatus.h"
#include "driver/front/WindowRelay.h"
#include "driver/front/win32/HiddenMainWindow.h"

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

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WindowRelay window;  // the main window, once there is one
  SteadyClock clock;
  DriverFront front(window, window, clock);
  StderrStatus echo;

  // The service is registered before any window exists; its name is our own file name.
  const std::string programPath = ProgramPath();
  const std::string service = ServiceNameFromProgramPath(programPath);
  DdeLinkServer link(front.ZELdriver);
  const Outcome<LinkServer::RegisterError> registered = link.Register(service);
  if (!registered.Ok()) {
    ReportStartFailure(echo, service + ": " + registered.text);
    return 1;
  }

  auto comProperties = std::make_unique<TComProperties>(
      MakePlatformSerialPort(), ProgramDirectory(programPath) + ConfigurationFileName, echo);
  comProperties->ReportFailure = [&echo](const std::string& line) { echo.Report(line); };
  int exitCode = 0;
  {
    win32::HiddenMainWindow mainForm(instance, front, std::move(comProperties));
    if (!mainForm.Created()) {
      ReportStartFailure(echo, service + ": " + win32::SystemErrorText(GetLastError()));
      return 1;
    }
    window.Attach(&mainForm, &echo);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    exitCode = static_cast<int>(message.wParam);
    window.Detach();
  }
  link.ServeWhatHasArrived(1000);
  return exitCode;
}
