#include "tests/zelsim/SimProcess.h"

#include <QFile>

namespace zel::sim::test {

SimProcess::SimProcess(const std::vector<std::string>& arguments) {
  QStringList list;
  for (const std::string& argument : arguments) list << QString::fromStdString(argument);
  process_.setStandardErrorFile(directory_.filePath("stderr.txt"));
  process_.start(QStringLiteral(ZEL_BIN_DIR "/zelsim"), list);
  while (!process_.canReadLine() && process_.waitForReadyRead(5000)) continue;
  output_ = process_.readLine().toStdString();
  if (!output_.empty() && output_.back() == '\n')
    devicePath_ = output_.substr(0, output_.size() - 1);
}

std::string SimProcess::ErrorText() const {
  QFile file(directory_.filePath("stderr.txt"));
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

int SimProcess::Stop(int signal) {
  if (process_.state() == QProcess::Running && signal != 0)
    ::kill(static_cast<pid_t>(process_.processId()), signal);
  if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(5000)) {
    process_.kill();
    process_.waitForFinished();
    return -1;
  }
  return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

}  // namespace zel::sim::test
