#include "tests/support/DriverProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

namespace zel {

PrivateLinkDirectory::PrivateLinkDirectory()
    : previous_(qgetenv("XDG_RUNTIME_DIR")), hadPrevious_(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
  qputenv("XDG_RUNTIME_DIR", directory_.path().toLocal8Bit());
}

PrivateLinkDirectory::~PrivateLinkDirectory() {
  if (hadPrevious_)
    qputenv("XDG_RUNTIME_DIR", previous_);
  else
    qunsetenv("XDG_RUNTIME_DIR");
}

std::string PrivateLinkDirectory::Path() const { return directory_.path().toStdString(); }

std::string PrivateLinkDirectory::SocketPath(const std::string& service) const {
  return Path() + "/" + service;
}

std::string BuiltProgram(const std::string& name) { return std::string(ZEL_BIN_DIR) + "/" + name; }

bool CopyDriverTo(const std::string& path) {
  const QString target = QString::fromStdString(path);
  QFile::remove(target);
  return QFile::copy(QString::fromStdString(BuiltProgram("ZELdrv")), target) &&
         QFile::setPermissions(target, QFileDevice::ExeOwner | QFileDevice::ReadOwner |
                                           QFileDevice::WriteOwner);
}

bool WriteDriverConfiguration(const std::string& directory, const std::string& portNumber,
                              const std::string& latencyPeriod, const std::string& transferRate) {
  QFile file(QString::fromStdString(directory + "/ZELdrv.ini"));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const std::string text = "PortNumber=" + portNumber + "\r\nTransferRate=" + transferRate +
                           "\r\nStopBits=1 bit\r\nParitet=None\r\nLatencyPeriod=" + latencyPeriod +
                           "\r\nDTRControl=HandShake\r\nRTSControl=HandShake\r\n"
                           "WriteTimeOutMultiplier=0\r\nWriteTimeOutConstant=0\r\n";
  return file.write(text.data(), static_cast<qint64>(text.size())) ==
         static_cast<qint64>(text.size());
}

DriverInstallation::DriverInstallation(const std::string& portNumber,
                                       const std::string& latencyPeriod,
                                       const std::string& programName)
    : programName_(programName) {
  ok_ = directory_.isValid() && CopyDriverTo(Program()) &&
        WriteDriverConfiguration(Directory(), portNumber, latencyPeriod);
}

std::string DriverInstallation::Program() const { return Directory() + "/" + programName_; }

DriverProcess::DriverProcess(const std::string& program) : program_(program) {}

DriverProcess::~DriverProcess() { Kill(); }

bool DriverProcess::Launch(const PrivateLinkDirectory& links) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(links.Path()));
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  process_.setProcessEnvironment(environment);
  process_.start(QString::fromStdString(program_), {});
  return process_.waitForStarted(10000);
}

bool DriverProcess::Start(const PrivateLinkDirectory& links, const std::string& service) {
  if (!Launch(links)) return false;
  const QString socketPath = QString::fromStdString(links.SocketPath(service));
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 10000) {
    if (process_.state() != QProcess::Running) return false;
    if (QFileInfo::exists(socketPath)) {
      QLocalSocket probe;
      probe.connectToServer(socketPath);
      if (probe.waitForConnected(1000)) return true;
    }
    QThread::msleep(10);
  }
  return false;
}

int DriverProcess::WaitForExit(int timeoutMs) {
  if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(timeoutMs)) return -1;
  return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

void DriverProcess::Kill() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.kill();
  process_.waitForFinished(10000);
}

std::string DriverProcess::StandardError() {
  // What the driver wrote reaches us only through the event machinery of QProcess.
  if (process_.state() == QProcess::Running)
    while (process_.waitForReadyRead(50)) {
    }
  standardError_ += process_.readAllStandardError().toStdString();
  return standardError_;
}

ProgramResult RunZelctl(const std::vector<std::string>& arguments, const std::string& input,
                        int timeoutMs) {
  QStringList list;
  for (const auto& argument : arguments) list << QString::fromStdString(argument);
  QProcess zelctl;
  zelctl.start(QString::fromStdString(BuiltProgram("zelctl")), list);
  ProgramResult result;
  if (!zelctl.waitForStarted(10000)) return result;
  zelctl.write(input.data(), static_cast<qint64>(input.size()));
  zelctl.closeWriteChannel();
  if (!zelctl.waitForFinished(timeoutMs)) {
    zelctl.kill();
    zelctl.waitForFinished();
  } else if (zelctl.exitStatus() == QProcess::NormalExit) {
    result.exitCode = zelctl.exitCode();
  }
  result.out = zelctl.readAllStandardOutput().toStdString();
  result.err = zelctl.readAllStandardError().toStdString();
  return result;
}

}  // namespace zel
