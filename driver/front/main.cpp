// ZELdrv: serves its conversation on the local link and runs the instrument line's commands.

#include <QApplication>
#include <cstdio>

#include "common/DisplayFallback.h"
#include "ddelink/LocalLinkServer.h"
#include "ddelink/ServiceName.h"
#include "driver/front/DriverFront.h"
#include "driver/front/HeadlessWindow.h"
#include "driver/front/StderrStatus.h"

int main(int argc, char* argv[]) {
  UseOffscreenWithoutDisplay();
  QApplication application(argc, argv);

  StderrStatus status;
  HeadlessWindow window;
  SteadyClock clock;
  DriverFront front(status, window, clock);

  // The service is registered before any window exists; its name is our own file name.
  const std::string service =
      ServiceNameFromProgramPath(QCoreApplication::applicationFilePath().toStdString());
  LocalLinkServer link(front.ZELdriver);
  std::string error;
  if (link.Register(service, error) != LinkServer::RegisterOutcome::Registered) {
    std::fprintf(stderr, "%s: %s\n", service.c_str(), error.c_str());
    return 1;
  }
  QApplication::setApplicationDisplayName(QStringLiteral("ZEL driver"));

  StderrNotice notice;
  PortSettingsCarrier setupDialog(QCoreApplication::applicationDirPath().toStdString() + "/",
                                  notice);
  front.FormCreate(zel::MakePlatformSerialPort(), setupDialog);
  window.SetCloseHandler([&front] {
    front.FormClose();
    QCoreApplication::quit();
  });
  const int exitCode = application.exec();
  link.ServeWhatHasArrived(1000);
  return exitCode;
}
