// zelshots: renders the driver's windows as they come up (main window, About box, message bar,
// port setup dialog) into PNG files, on the offscreen platform unless one is asked for.
//
// usage: zelshots [DIRECTORY]    (default: the source tree's docs/images)

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "common/qt/WriteBar.h"
#include "ddelink/LinkWire.h"
#include "driver/front/DriverFront.h"
#include "driver/front/DriverWords.h"
#include "driver/front/WindowRelay.h"
#include "driver/front/qt/DriverWindows.h"
#include "driver/port/SerialPort.h"

using namespace zel;

namespace {

// The pictures need no line: every open fails, so nothing of this machine is touched.
class NoSerialPort : public zel::SerialPort {
 public:
  bool Open(const std::string&) override { return false; }
  void Close() override {}
  bool IsOpen() const override { return false; }
  bool GetState(zel::LineState&) override { return false; }
  bool SetState(const zel::LineState&) override { return false; }
  bool SetTimeouts(const zel::CommTimeouts&) override { return false; }
  bool EscapeFunction(zel::ModemLineFunction) override { return false; }
  int32_t Read(uint8_t*, int32_t) override { return 0; }
  int32_t Write(const uint8_t*, int32_t) override { return 0; }
  const zel::Outcome<zel::PortError>& LastError() const override { return error_; }

 private:
  zel::Outcome<zel::PortError> error_{zel::PortError::NoSuchDevice, "no serial line for pictures"};
};

bool Save(QWidget& window, const QString& directory, const char* name) {
  const QString path = QDir(directory).filePath(QString::fromLatin1(name));
  if (!window.grab().save(path, "PNG")) {
    std::fprintf(stderr, "zelshots: cannot write %s\n", path.toLocal8Bit().constData());
    return false;
  }
  std::printf("%s\n", path.toLocal8Bit().constData());
  return true;
}

// Runs `open`, which shows a window modally, and saves that window once its loop runs.
bool SaveModal(const std::function<void()>& open, const QString& directory, const char* name) {
  bool saved = false;
  QTimer shot;  // gone with this call, should no window have come up
  shot.setSingleShot(true);
  QObject::connect(&shot, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      saved = Save(*modal, directory, name);
      if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
    }
  });
  shot.start(100);
  open();
  return saved;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // The program's title. Not the display name: Qt would append that to every caption.
  QApplication::setApplicationName(QString::fromLatin1(ProgramTitle));
  const QString directory =
      argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(ZEL_IMAGES_DIR);
  if (argc > 2 || !QDir().mkpath(directory)) {
    std::fprintf(stderr, "usage: zelshots [DIRECTORY]\n");
    return 2;
  }

  // A driver of its own: no settings file but this scratch one is read or written.
  QTemporaryDir programDirectory;
  QFile ini(programDirectory.filePath(QStringLiteral("ZELdrv.ini")));
  if (!programDirectory.isValid() || !ini.open(QIODevice::WriteOnly)) return 1;
  ini.write(
      "PortNumber=COM1\r\nTransferRate=9600 baud\r\nStopBits=1 bit\r\nParitet=None\r\n"
      "LatencyPeriod=Approximately 0.25 second\r\nDTRControl=HandShake\r\n"
      "RTSControl=HandShake\r\nWriteTimeOutMultiplier=0\r\nWriteTimeOutConstant=0\r\n");
  ini.close();

  WindowRelay window;
  SteadyClock clock;
  DriverFront front(window, window, clock);
  WriteBarNotice notice;
  DriverWindows windows(
      front, window,
      std::make_unique<TComProperties>(
          std::make_unique<NoSerialPort>(),
          programDirectory.path().toStdString() + "/" + ConfigurationFileName, notice));
  TMainForm& mainForm = windows.mainForm;

  mainForm.show();
  front.ZELdriver.Poke(DriverItem, TextFormat, "0205 0001 1234AB");  // "data loaded"
  QApplication::processEvents();
  bool ok = Save(mainForm, directory, "main-window.png");
  if (!SaveModal([&] { mainForm.Logic().About1Click(); }, directory, "about-box.png")) ok = false;
  if (!SaveModal([] { ShowWriteBar("Can't store current configuration !"); }, directory,
                 "message-bar.png"))
    ok = false;
  if (!SaveModal([&] { mainForm.Logic().Setup1Click(); }, directory, "setup-dialog.png"))
    ok = false;
  return ok ? 0 : 1;
}
