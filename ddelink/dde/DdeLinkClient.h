#pragma once
// The link client over DDEML. Calls block for at most their time-out, pumping the thread's DDE
// messages meanwhile; the client belongs to the thread that connects it.
//
// It holds two conversations with the driver. Pokes and requests, whose answers it waits for,
// take the first. Executes, whose answers nobody waits for, and the advise link with its notices
// take the second: Wine's DDEML matches an answer to the oldest transaction of its conversation,
// so an unawaited answer or a notice there would be taken for the answer being waited for.

#include <memory>
#include <vector>

#include "ddelink/LinkClient.h"
#include "ddelink/dde/DdeInstance.h"

namespace zel {

class DdeLinkClient : public LinkClient {
 public:
  DdeLinkClient() = default;
  ~DdeLinkClient() override;
  DdeLinkClient(const DdeLinkClient&) = delete;
  DdeLinkClient& operator=(const DdeLinkClient&) = delete;

  bool Connect(const std::string& service, const std::string& topic) override;
  void Disconnect() override;
  bool IsConnected() const override;
  bool Execute(const std::string& text) override;
  bool Poke(const std::string& item, const std::string& text, int timeoutMs) override;
  std::optional<std::string> Request(const std::string& item, int timeoutMs) override;
  bool StartAdvise(const std::string& item, int timeoutMs) override;
  bool WaitForNotice(int timeoutMs) override;
  const std::string& LastError() const override { return error_; }

 private:
  // One DDEML instance with one conversation: Wine's DDEML gives an instance only one
  // conversation per service and topic.
  struct Channel {
    DdeInstance dde;
    HCONV conversation = nullptr;
    HWND window = nullptr;   // our end
    HWND partner = nullptr;  // the driver's end
  };

  static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conversation, HSZ, HSZ, HDDEDATA,
                                    ULONG_PTR, ULONG_PTR);
  bool Open(Channel& channel);
  static bool Usable(const Channel* channel);
  Channel* AnswerChannel();
  HSZ Item(Channel& channel, const std::string& item);
  bool Failed(Channel& channel, int timeoutMs, unsigned code);
  void AwaitExtraAcknowledgement(const Channel& channel);
  bool Fail(std::string error);

  std::string service_;
  std::string topic_;
  std::unique_ptr<Channel> answers_;  // pokes and requests; none after it lost step
  std::unique_ptr<Channel> others_;   // executes, the advise link and its notices
  // Conversations that lost step after a time-out: their late answers land there, harmlessly.
  std::vector<std::unique_ptr<Channel>> retired_;
  // Wine's DDEML server follows each answer to a request with an acknowledgement.
  bool extraAcknowledgement_ = false;
  std::size_t notices_ = 0;
  std::string error_;
};

}  // namespace zel
