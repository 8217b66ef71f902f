// ZELdrv: serves its conversation on the local link and runs the instrument line's commands,
// with its status window on top of the screen.

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <cstdio>

#include "common/posix/StopSignals.h"
#include "common/qt/DisplayFallback.h"
#include "ddelink/ServiceName.h"
#include "ddelink/local/LocalLinkServer.h"
#include "driver/front/DriverFront.h"
#include "driver/front/DriverWords.h"
#include "driver/front/StderrStatus.h"
#include "driver/front/WindowRelay.h"
#include "driver/front/qt/DriverWindows.h"
#include "driver/port/posix/ConfigurationPlace.h"

using namespace zel;

int main(int argc, char* argv[]) {
  // From the start: a stop requested while starting up is carried out once the loop runs.
  std::string signalsError;
  const int stopRequests = WatchStopSignals(signalsError);
  if (stopRequests < 0) std::fprintf(stderr, "ZELdrv: %s\n", signalsError.c_str());
  UseOffscreenWithoutDisplay();
  QApplication application(argc, argv);
  // Only the main window's close ends the program, not a last dialog closing while it is hidden.
  QApplication::setQuitOnLastWindowClosed(false);

  WindowRelay window;  // the main window, once there is one
  SteadyClock clock;
  DriverFront front(window, window, clock);

  // The service is registered before any window exists; its name is our own file name.
  const std::string service =
      ServiceNameFromProgramPath(QCoreApplication::applicationFilePath().toStdString());
  LocalLinkServer link(front.ZELdriver);
  link.ServeBroadcast(front.ZELmonitor);
  const Outcome<LinkServer::RegisterError> registered = link.Register(service);
  if (!registered.Ok()) {
    std::fprintf(stderr, "%s: %s\n", service.c_str(), registered.text.c_str());
    return 1;
  }
  // The program's title. Not the display name: Qt would append that to every caption.
  QApplication::setApplicationName(QString::fromLatin1(ProgramTitle));
  QApplication::setWindowIcon(QIcon(ProgramPicture()));

  StderrStatus echo;
  WriteBarNotice notice;
  // Beside the program where that works, else in the user's configuration folder.
  const std::string configuration =
      ConfigurationPathOnThisSystem(QCoreApplication::applicationDirPath().toStdString());
  echo.Report("configuration: " + configuration);
  auto comProperties =
      std::make_unique<TComProperties>(MakePlatformSerialPort(), configuration, notice);
  comProperties->ReportFailure = [&echo](const std::string& line) { echo.Report(line); };
  DriverWindows windows(front, window, std::move(comProperties), &echo);

  windows.mainForm.show();
  // Told to stop by the system, the driver ends as when its window is closed: port closed,
  // socket and lock removed, exit status 0.
  QSocketNotifier stopNotifier(stopRequests, QSocketNotifier::Read);
  stopNotifier.setEnabled(stopRequests >= 0);
  QObject::connect(&stopNotifier, &QSocketNotifier::activated, &windows.mainForm,
                   [&windows] { windows.mainForm.close(); });
  const int exitCode = application.exec();
  link.ServeWhatHasArrived(1000);
  return exitCode;
}
