#include "tests/support/DriverProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QThread>

namespace zel {

bool WriteDriverConfiguration(const std::string& directory, const std::string& portNumber,
                              const std::string& latencyPeriod) {
  const std::string text = "PortNumber=" + portNumber + "\r\nTransferRate=9600 baud\r\n" +
                           "StopBits=1 bit\r\nParitet=None\r\nLatencyPeriod=" + latencyPeriod +
                           "\r\nDTRControl=HandShake\r\nRTSControl=HandShake\r\n" +
                           "WriteTimeOutMultiplier=0\r\nWriteTimeOutConstant=0\r\n";
  QFile file(QString::fromStdString(directory + "/ZELdrv.ini"));
  return file.open(QIODevice::WriteOnly) && file.write(text.data(), qint64(text.size())) > 0;
}

DriverInstallation::DriverInstallation(const std::string& portNumber,
                                       const std::string& latencyPeriod) {
  const QString copy = QString::fromStdString(Program());
  // A failure shows when the copy does not start.
  if (QFile::copy(QString::fromStdString(BuiltProgram("ZELdrv")), copy))
    QFile::setPermissions(copy, QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
  WriteDriverConfiguration(directory_.path().toStdString(), portNumber, latencyPeriod);
}

bool DriverProcess::Launch(const PrivateLinkDirectory& links) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(links.Path()));
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  process_.setProcessEnvironment(environment);
  process_.start(QString::fromStdString(program_), {});
  return process_.waitForStarted(10000);
}

bool DriverProcess::Start(const PrivateLinkDirectory& links, const std::string& service) {
  QElapsedTimer waited;
  waited.start();
  for (bool launched = Launch(links); launched && process_.state() == QProcess::Running;) {
    QLocalSocket probe;
    probe.connectToServer(QString::fromStdString(links.SocketPath(service)));
    if (probe.waitForConnected(1000)) return true;
    if (waited.elapsed() > 10000) return false;
    QThread::msleep(10);
  }
  return false;
}

void DriverProcess::Kill() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.kill();
  process_.waitForFinished(10000);
}

std::string DriverProcess::StandardError() {
  // What the driver wrote reaches us only through the event machinery of QProcess.
  while (process_.state() == QProcess::Running && process_.waitForReadyRead(50)) {
  }
  return standardError_ += process_.readAllStandardError().toStdString();
}

ProgramResult RunZelctl(const std::vector<std::string>& arguments, const std::string& input,
                        int timeoutMs) {
  QStringList list;
  for (const auto& argument : arguments) list << QString::fromStdString(argument);
  QProcess zelctl;
  zelctl.start(QString::fromStdString(BuiltProgram("zelctl")), list);
  zelctl.write(input.data(), static_cast<qint64>(input.size()));
  zelctl.closeWriteChannel();
  ProgramResult result;
  if (zelctl.waitForFinished(timeoutMs) && zelctl.exitStatus() == QProcess::NormalExit)
    result.exitCode = zelctl.exitCode();
  zelctl.kill();
  zelctl.waitForFinished();
  result.out = zelctl.readAllStandardOutput().toStdString();
  result.err = zelctl.readAllStandardError().toStdString();
  return result;
}

}  // namespace zel
