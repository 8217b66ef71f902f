#pragma once
// The link's server over DDEML: one service with the conversation's topic and item, served on the
// thread that registers it (the UI thread) from that thread's message loop, also while a modal
// window runs its own. Transactions are served one at a time in order of arrival.

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ddelink/BroadcastTopic.h"
#include "ddelink/LinkServer.h"
#include "ddelink/ServerConversation.h"
#include "ddelink/dde/DdeInstance.h"

namespace zel {

class DdeLinkServer : public LinkServer {
 public:
  explicit DdeLinkServer(ServerConversation& conversation) : conversation_(conversation) {}
  // Takes the service off DDE, which ends the open conversations.
  ~DdeLinkServer() override;
  DdeLinkServer(const DdeLinkServer&) = delete;
  DdeLinkServer& operator=(const DdeLinkServer&) = delete;

  // Registers the service (once, one server per thread). AlreadyServed when any DDE server
  // answers the name and topic, or another driver of ours is registering it; Failed with DDEML's
  // error text.
  Outcome<RegisterError> Register(const std::string& service) override;
  // Serves a second topic beside the conversation's; call before Register.
  void ServeBroadcast(BroadcastTopic& broadcast) { broadcast_ = &broadcast; }
  // New conversations are refused from now on; what has arrived is served until nothing has come
  // for a moment or budgetMs have passed.
  void ServeWhatHasArrived(int budgetMs) override;

 private:
  // A transaction that came while another was being served (a handler ran a window's loop).
  struct Waiting {
    HCONV conversation;
    bool poke;  // a poke, acknowledged already and held here; else DDEML holds it
    std::string item;
    UINT format;
    std::string text;
  };

  // A client of the broadcast topic. The DDEML client holds two conversations (answers and
  // notices) from one thread, so its lines are kept by that thread, not by either conversation.
  struct Listener {
    BroadcastQueue heard;
    std::vector<HCONV> conversations;
    HCONV adviser = nullptr;  // the one whose advise link listens, if any
  };

  static HDDEDATA CALLBACK Callback(UINT type, UINT format, HCONV conversation, HSZ first,
                                    HSZ second, HDDEDATA data, ULONG_PTR, ULONG_PTR);
  static LRESULT CALLBACK WorkProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  Outcome<RegisterError> HoldServiceName(const std::string& service);
  static Outcome<RegisterError> AlreadyServed(const std::string& service);
  bool Answered();
  HDDEDATA Serve(UINT type, UINT format, HCONV conversation, HSZ first, HSZ second, HDDEDATA data);
  bool MustWait(HCONV conversation) const;
  HDDEDATA Block(HCONV conversation);
  HDDEDATA InTurn(UINT type, UINT format, HCONV conversation, HSZ item, HDDEDATA data);
  HDDEDATA Transact(UINT type, UINT format, HSZ item, HDDEDATA data);
  HDDEDATA ServeBroadcastTopic(UINT type, UINT format, HCONV conversation, HSZ item);
  Listener* ListenerOf(HCONV conversation);
  void StopListening(Listener& listener);
  bool IsBroadcastTopic(HSZ topic);
  HDDEDATA WildConnect(HSZ topic, HSZ service);
  HDDEDATA TextData(const std::string& text, HSZ item);
  void Forget(HCONV conversation);
  void PostWork();
  bool NoticesPending() const { return pendingNotices_ > 0 || pendingBroadcastNotices_ > 0; }
  void DoWork();
  void ResumeWaiting();

  ServerConversation& conversation_;
  DdeInstance dde_;
  HANDLE nameHolder_ = nullptr;
  HSZ service_ = nullptr;
  HSZ topic_ = nullptr;
  HSZ item_ = nullptr;
  BroadcastTopic* broadcast_ = nullptr;
  HSZ broadcastTopic_ = nullptr;
  HSZ broadcastItem_ = nullptr;
  int pendingBroadcastNotices_ = 0;
  std::map<DWORD, std::unique_ptr<Listener>> listeners_;  // by the client's thread
  bool registered_ = false;
  HWND workWindow_ = nullptr;
  bool workPosted_ = false;
  bool serving_ = false;
  bool resuming_ = false;  // letting held transactions through
  bool closing_ = false;
  int pendingNotices_ = 0;
  std::deque<Waiting> waiting_;
  std::vector<HCONV> resumed_;  // conversations let through one transaction at a time
};

}  // namespace zel
