#include "ddelink/dde/DdeLinkClient.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "ddelink/ServiceName.h"
#include "ddelink/TextLines.h"
#include "ddelink/dde/DdeErrors.h"

namespace zel {

namespace {

// Notices nobody waits for are kept only up to this many.
constexpr std::size_t MaxQueuedNotices = 1024;
// Wine's extra acknowledgement leaves right behind the answer; a DDEML that never sends it
// costs this wait once.
constexpr DWORD ExtraAcknowledgementWaitMs = 1000;

// DDEML's callback carries no context: the advise conversations of this thread, by handle.
thread_local std::map<HCONV, DdeLinkClient*> NoticeTakers;

DWORD Timeout(int ms) { return static_cast<DWORD>(std::max(ms, 1)); }

LPBYTE Bytes(const std::string& text) {
  return reinterpret_cast<LPBYTE>(const_cast<char*>(text.c_str()));
}

// Dispatches the thread's DDE messages until `enough` (asked after each) says so or `ms` have
// passed. Other messages stay queued, as DDEML's own waits leave them.
template <typename Enough>
bool PumpDde(DWORD ms, Enough enough) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_DDE_FIRST, WM_DDE_LAST, PM_REMOVE)) {
      DispatchMessageW(&message);
      if (enough(message)) return true;
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                              QS_POSTMESSAGE | QS_SENDMESSAGE);
  }
}

bool IsWineServer(HWND partner) {
  char name[32] = {};
  return GetClassNameA(partner, name, sizeof name) > 0 &&
         std::strncmp(name, "WineDdeServerConv", 17) == 0;
}

}  // namespace

DdeLinkClient::~DdeLinkClient() { Disconnect(); }

bool DdeLinkClient::Fail(std::string error) {
  error_ = std::move(error);
  return false;
}

HDDEDATA CALLBACK DdeLinkClient::Callback(UINT type, UINT, HCONV conversation, HSZ, HSZ, HDDEDATA,
                                          ULONG_PTR, ULONG_PTR) {
  if (type != XTYP_ADVDATA) return nullptr;
  const auto taker = NoticeTakers.find(conversation);
  if (taker == NoticeTakers.end()) return nullptr;
  std::size_t& notices = taker->second->notices_;
  if (notices < MaxQueuedNotices) ++notices;
  return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
}

bool DdeLinkClient::Open(Channel& channel) {
  const unsigned opened =
      channel.dde.Open(&Callback, APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS);
  if (opened != DMLERR_NO_ERROR)
    return Fail("DDE is not available (" + DdemlErrorText(opened) + ")");
  const HSZ service = channel.dde.String(service_);
  const HSZ topic = channel.dde.String(topic_);
  if (service == nullptr) return Fail("not a service name: \"" + service_ + "\"");
  if (topic != nullptr)
    channel.conversation = DdeConnect(channel.dde.Id(), service, topic, nullptr);
  if (channel.conversation == nullptr) {
    return Fail("service " + service_ + " is not running or refused topic \"" + topic_ + "\" (" +
                DdemlErrorText(DMLERR_NO_CONV_ESTABLISHED) + ")");
  }
  CONVINFO info{};
  info.cb = sizeof info;
  if (DdeQueryConvInfo(channel.conversation, QID_SYNC, &info) != 0) {
    channel.window = info.hwnd;
    channel.partner = info.hwndPartner;
  }
  return true;
}

bool DdeLinkClient::Connect(const std::string& service, const std::string& topic) {
  Disconnect();
  if (!IsUsableServiceName(service)) return Fail("not a service name: \"" + service + "\"");
  service_ = service;
  topic_ = topic;
  auto answers = std::make_unique<Channel>();
  auto others = std::make_unique<Channel>();
  if (!Open(*answers) || !Open(*others)) return false;
  answers_ = std::move(answers);
  others_ = std::move(others);
  NoticeTakers[others_->conversation] = this;
  extraAcknowledgement_ = IsWineServer(answers_->partner);
  return true;
}

void DdeLinkClient::Disconnect() {
  if (others_ != nullptr) {
    NoticeTakers.erase(others_->conversation);
    // The executes have left already. Wine's DDEML would wait for their answers before it lets
    // the conversation go, for up to 10 s.
    DdeAbandonTransaction(others_->dde.Id(), others_->conversation, 0);
  }
  others_.reset();
  answers_.reset();
  retired_.clear();
  notices_ = 0;
  extraAcknowledgement_ = false;
}

bool DdeLinkClient::Usable(const Channel* channel) {
  if (channel == nullptr || channel->conversation == nullptr) return false;
  CONVINFO info{};
  info.cb = sizeof info;
  return DdeQueryConvInfo(channel->conversation, QID_SYNC, &info) != 0 &&
         (info.wStatus & ST_CONNECTED) != 0;
}

bool DdeLinkClient::IsConnected() const {
  return Usable(others_.get()) && (answers_ == nullptr || Usable(answers_.get()));
}

DdeLinkClient::Channel* DdeLinkClient::AnswerChannel() {
  if (others_ == nullptr) {
    Fail("no conversation");
    return nullptr;
  }
  if (answers_ == nullptr) {
    auto fresh = std::make_unique<Channel>();
    if (!Open(*fresh)) return nullptr;
    answers_ = std::move(fresh);
  }
  return answers_.get();
}

HSZ DdeLinkClient::Item(Channel& channel, const std::string& item) {
  const HSZ name = channel.dde.String(item);
  if (name == nullptr) Fail("not an item name: \"" + item + "\"");
  return name;
}

bool DdeLinkClient::Failed(Channel& channel, int timeoutMs, unsigned code) {
  const std::string why = DdemlErrorText(code);
  if (!Usable(&channel)) return Fail("the conversation was closed (" + why + ")");
  switch (code) {
    case DMLERR_POKEACKTIMEOUT:
    case DMLERR_DATAACKTIMEOUT:
    case DMLERR_ADVACKTIMEOUT:
      // The late answer must not meet the next transaction: that one gets a fresh conversation.
      if (&channel == answers_.get()) retired_.push_back(std::move(answers_));
      return Fail("no answer within " + std::to_string(timeoutMs) + " ms (" + why + ")");
    case DMLERR_NOTPROCESSED:
      return Fail("refused (" + why + ")");
    default:
      return Fail(why);
  }
}

bool DdeLinkClient::Execute(const std::string& text) {
  if (!Usable(others_.get()))
    return Fail(others_ == nullptr ? "no conversation" : "the conversation was closed");
  // Nobody waits for an execute's answer, and Wine's DDEML would keep each one queued for good.
  DdeAbandonTransaction(others_->dde.Id(), others_->conversation, 0);
  DWORD id = 0;
  if (DdeClientTransaction(Bytes(text), static_cast<DWORD>(text.size() + 1), others_->conversation,
                           nullptr, 0, XTYP_EXECUTE, TIMEOUT_ASYNC, &id) != nullptr) {
    return true;
  }
  return Fail("the execute could not be sent (" + DdemlErrorText(others_->dde.LastError()) + ")");
}

bool DdeLinkClient::Poke(const std::string& item, const std::string& text, int timeoutMs) {
  Channel* channel = AnswerChannel();
  const HSZ name = channel != nullptr ? Item(*channel, item) : nullptr;
  if (name == nullptr) return false;
  DWORD result = DDE_FACK;
  const HDDEDATA done =
      DdeClientTransaction(Bytes(text), static_cast<DWORD>(text.size() + 1), channel->conversation,
                           name, CF_TEXT, XTYP_POKE, Timeout(timeoutMs), &result);
  // Wine's DDEML reports a refused poke as done: the acknowledgement's flags tell.
  if (done != nullptr && (result & DDE_FACK) != 0) return true;
  return Failed(*channel, timeoutMs,
                done != nullptr ? DMLERR_NOTPROCESSED : channel->dde.LastError());
}

std::optional<std::string> DdeLinkClient::Request(const std::string& item, int timeoutMs) {
  Channel* channel = AnswerChannel();
  const HSZ name = channel != nullptr ? Item(*channel, item) : nullptr;
  if (name == nullptr) return std::nullopt;
  DWORD result = 0;
  const HDDEDATA data = DdeClientTransaction(nullptr, 0, channel->conversation, name, CF_TEXT,
                                             XTYP_REQUEST, Timeout(timeoutMs), &result);
  if (data == nullptr) {
    if ((result & DDE_FACK) != 0) {
      // A positive acknowledgement answers no request: one that came in late shows the
      // conversation lost step.
      retired_.push_back(std::move(answers_));
      Fail("the answer was lost; the next transaction takes a fresh conversation");
    } else {
      Failed(*channel, timeoutMs, channel->dde.LastError());
    }
    return std::nullopt;
  }
  DWORD size = 0;
  const LPBYTE bytes = DdeAccessData(data, &size);
  std::string text(UntilNul(std::string_view(reinterpret_cast<const char*>(bytes), size)));
  DdeUnaccessData(data);
  DdeFreeDataHandle(data);
  if (extraAcknowledgement_) AwaitExtraAcknowledgement(*channel);
  return text;
}

void DdeLinkClient::AwaitExtraAcknowledgement(const Channel& channel) {
  // Left in the queue, it would be taken for the answer to the next transaction.
  const bool came = PumpDde(ExtraAcknowledgementWaitMs, [&](const MSG& message) {
    return message.hwnd == channel.window && message.message == WM_DDE_ACK &&
           reinterpret_cast<HWND>(message.wParam) == channel.partner;
  });
  if (!came) extraAcknowledgement_ = false;  // a Wine that no longer sends it
}

bool DdeLinkClient::StartAdvise(const std::string& item, int timeoutMs) {
  if (others_ == nullptr) return Fail("no conversation");
  const HSZ name = Item(*others_, item);
  if (name == nullptr) return false;
  // An execute still queued there would take the advise's acknowledgement for its own.
  DdeAbandonTransaction(others_->dde.Id(), others_->conversation, 0);
  DWORD result = 0;
  if (DdeClientTransaction(nullptr, 0, others_->conversation, name, CF_TEXT,
                           XTYP_ADVSTART | XTYPF_NODATA, Timeout(timeoutMs), &result) != nullptr)
    return true;
  return Failed(*others_, timeoutMs, others_->dde.LastError());
}

bool DdeLinkClient::WaitForNotice(int timeoutMs) {
  if (others_ == nullptr) return Fail("no conversation");
  if (notices_ == 0) {
    PumpDde(static_cast<DWORD>(std::max(timeoutMs, 0)),
            [&](const MSG&) { return notices_ > 0 || !Usable(others_.get()); });
  }
  if (notices_ > 0) {
    --notices_;
    return true;
  }
  if (!Usable(others_.get())) return Fail("the conversation was closed");
  return Fail("no notice within " + std::to_string(timeoutMs) + " ms");
}

std::unique_ptr<LinkClient> MakePlatformLinkClient() { return std::make_unique<DdeLinkClient>(); }

}  // namespace zel
