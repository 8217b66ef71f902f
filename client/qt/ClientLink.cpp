#include "client/qt/ClientLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "common/Names.h"
#include "ddelink/LinkTimeouts.h"
#include "ddelink/local/LocalLinkClient.h"

namespace zel {

ClientLink::ClientLink() : ClientLink(std::make_unique<LocalLinkClient>()) {}
ClientLink::ClientLink(std::unique_ptr<LinkClient> link) : link_(std::move(link)) {}
ClientLink::~ClientLink() = default;

bool ClientLink::IsOpen() const { return link_->IsConnected(); }

bool ClientLink::Connect() {
  if (link_->Connect(DriverService, DriverTopic)) return true;
  lastError_ = link_->LastError();
  return false;
}

std::string ClientLink::DriverProgram() const {
  if (!driverProgram_.empty()) return driverProgram_;
  const QString own = QDir(QCoreApplication::applicationDirPath()).filePath(DriverService);
  if (QFileInfo(own).isExecutable()) return own.toStdString();
  return QStandardPaths::findExecutable(DriverService).toStdString();
}

bool ClientLink::Open() {
  lastError_.clear();
  if (!Connect()) {
    const std::string program = DriverProgram();
    if (program.empty()) {
      lastError_ = std::string("the program ") + DriverService + " was not found";
      return false;
    }
    // Detached, so the driver outlives the client. A start "minimised, not activated" has no
    // portable counterpart: the driver is minimised by its own command once it answers.
    if (!QProcess::startDetached(QString::fromStdString(program), {DriverTopic})) {
      lastError_ = "cannot start " + program;
      return false;
    }
    // The driver registers its service only once it is up: try until it answers.
    QElapsedTimer waited;
    waited.start();
    bool connected = false;
    while (!(connected = Connect()) && waited.elapsed() < StartWaitMs) QThread::msleep(100);
    if (!connected) return false;
    link_->Execute(MinimizeCommand);
  }
  // The advised copy is never read; the link only keeps the item named, as the driver expects.
  link_->StartAdvise(DriverItem, NoticeRequestTimeoutMs);
  return true;
}

void ClientLink::Execute(const std::string& command) { link_->Execute(command); }

void ClientLink::Poke(const std::string& text) {
  link_->Poke(DriverItem, text, PokeTimeoutMs);
  DrainNotices();
}

void ClientLink::DrainNotices() {
  // The advised copy is never read, but its notices would pile up for the whole run.
  if (link_->IsConnected())
    while (link_->WaitForNotice(0)) {
    }
}

std::optional<std::string> ClientLink::WaitForItemText() {
  QElapsedTimer unanswered;
  unanswered.start();
  while (link_->IsConnected()) {
    std::optional<std::string> text = link_->Request(DriverItem, RequestTimeoutMs);
    if (text && !text->empty()) {
      DrainNotices();
      return text;
    }
    // A driver that never answers would otherwise hold the window for good.
    if (unanswered.elapsed() >= GiveUpMs) break;
    if (!text) QThread::msleep(10);  // the link failed at once: do not spin
  }
  return std::nullopt;
}

}  // namespace zel
