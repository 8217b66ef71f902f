#pragma once
// The test client's conversation with the driver: opened at start-up, the driver started when it
// is not running, and the outcome of a command fetched by requesting the data item.

#include <memory>
#include <optional>
#include <string>

#include "client/DriverStarter.h"
#include "ddelink/LinkClient.h"

namespace zel {

class ClientLink {
 public:
  // The platform's link client and driver starter, unless a test passes its own.
  ClientLink();
  ClientLink(std::unique_ptr<LinkClient> link, std::unique_ptr<DriverStarter> starter);
  ~ClientLink();

  // Connects; when that fails, starts the driver ("ZELdrv ZELdriver") and connects again for up
  // to StartWaitMs. Then opens the advise link on the item. True when a conversation is open.
  bool Open();
  bool IsOpen() const;
  // Why the last Open failed.
  const std::string& LastError() const { return lastError_; }

  // The program Open starts; empty: the starter's FindDriver.
  void SetDriverProgram(const std::string& program) { driverProgram_ = program; }

  void Execute(const std::string& command);
  void Poke(const std::string& text);
  // Requests the item until it holds a text, which it returns. Nothing when the conversation is
  // closed or the requests kept failing for the give-up time.
  std::optional<std::string> WaitForItemText();

  // How long Open waits for a started driver to accept the conversation.
  static constexpr int StartWaitMs = 8000;
  // How long WaitForItemText goes on while every request fails or answers nothing.
  static constexpr int GiveUpMs = 60000;
  // Other waits than StartWaitMs and GiveUpMs, for tests that cannot wait that long.
  void SetWaits(int startWaitMs, int giveUpMs) {
    startWaitMs_ = startWaitMs;
    giveUpMs_ = giveUpMs;
  }

 private:
  bool Connect();
  void DrainNotices();

  std::unique_ptr<LinkClient> link_;
  std::unique_ptr<DriverStarter> starter_;
  std::string driverProgram_;
  std::string lastError_;
  int startWaitMs_ = StartWaitMs;
  int giveUpMs_ = GiveUpMs;
};

}  // namespace zel
