#include "client/ClientLink.h"

#include <chrono>
#include <thread>

#include "common/Names.h"
#include "ddelink/LinkTimeouts.h"

namespace zel {

namespace {

using Clock = std::chrono::steady_clock;

bool Elapsed(Clock::time_point since, int ms) {
  return Clock::now() - since >= std::chrono::milliseconds(ms);
}

}  // namespace

ClientLink::ClientLink() : ClientLink(MakePlatformLinkClient(), MakePlatformDriverStarter()) {}
ClientLink::ClientLink(std::unique_ptr<LinkClient> link, std::unique_ptr<DriverStarter> starter)
    : link_(std::move(link)), starter_(std::move(starter)) {}
ClientLink::~ClientLink() = default;

bool ClientLink::IsOpen() const { return link_->IsConnected(); }

bool ClientLink::Connect() {
  if (link_->Connect(DriverService, DriverTopic)) return true;
  lastError_ = link_->LastError();
  return false;
}

bool ClientLink::Open() {
  lastError_.clear();
  if (!Connect()) {
    const std::string program = driverProgram_.empty() ? starter_->FindDriver() : driverProgram_;
    if (program.empty()) {
      lastError_ = std::string("the program ") + DriverService + " was not found";
      return false;
    }
    const std::string why = starter_->Start(program, DriverTopic);
    if (!why.empty()) {
      lastError_ = why;
      return false;
    }
    // The driver registers its service only once it is up: try until it answers.
    const Clock::time_point started = Clock::now();
    bool connected = false;
    while (!(connected = Connect()) && !Elapsed(started, startWaitMs_))
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!connected) return false;
    if (!starter_->StartsMinimized()) link_->Execute(MinimizeCommand);
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
  const Clock::time_point asked = Clock::now();
  while (link_->IsConnected()) {
    std::optional<std::string> text = link_->Request(DriverItem, RequestTimeoutMs);
    if (text && !text->empty()) {
      DrainNotices();
      return text;
    }
    // A driver that never answers would otherwise hold the window for good.
    if (Elapsed(asked, giveUpMs_)) break;
    // The link failed at once: do not spin.
    if (!text) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

}  // namespace zel
