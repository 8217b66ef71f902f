#pragma once
// The client side of the link, whatever carries it. Calls block for at most their time-out.

#include <memory>
#include <optional>
#include <string>

namespace zel {

class LinkClient {
 public:
  virtual ~LinkClient() = default;

  // Opens the conversation. False when the service is not there or the topic is refused.
  virtual bool Connect(const std::string& service, const std::string& topic) = 0;
  virtual void Disconnect() = 0;
  virtual bool IsConnected() const = 0;

  // Starts a command and returns without waiting for it; false if it could not be sent.
  virtual bool Execute(const std::string& text) = 0;
  // True once the driver acknowledged the poke within the time-out.
  virtual bool Poke(const std::string& item, const std::string& text, int timeoutMs) = 0;
  // The item's text as answered, or nothing when refused, failed or timed out.
  virtual std::optional<std::string> Request(const std::string& item, int timeoutMs) = 0;
  // Opens a warm link: every setting of the item sends a notice.
  virtual bool StartAdvise(const std::string& item, int timeoutMs) = 0;
  // Waits for the next notice (one that came in meanwhile counts); false on time-out or loss.
  virtual bool WaitForNotice(int timeoutMs) = 0;

  // Why the last call failed.
  virtual const std::string& LastError() const = 0;
};

// A client of the link the program was built for (local sockets, DDEML).
std::unique_ptr<LinkClient> MakePlatformLinkClient();

}  // namespace zel
