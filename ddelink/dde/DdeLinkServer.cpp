#include "ddelink/dde/DdeLinkServer.h"

#include <algorithm>
#include <utility>

#include "common/win32/SystemText.h"
#include "ddelink/ServiceName.h"
#include "ddelink/dde/DdeErrors.h"

namespace zel {

namespace {

// DDEML's callback carries no context: the thread's one server.
thread_local DdeLinkServer* ThreadServer = nullptr;

constexpr wchar_t WorkClass[] = L"ZELddeLinkServer";
constexpr UINT WorkMessage = WM_APP + 1;
// ServeWhatHasArrived stops once nothing has come for this long.
constexpr DWORD QuietMs = 100;

HDDEDATA Flag(bool value) { return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(value)); }

HDDEDATA Ack(bool done) {
  return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(done ? DDE_FACK : DDE_FNOTPROCESSED));
}

std::string DataText(HDDEDATA data) {
  DWORD size = 0;
  const LPBYTE bytes = data != nullptr ? DdeAccessData(data, &size) : nullptr;
  if (bytes == nullptr) return {};
  std::string text(reinterpret_cast<const char*>(bytes), size);
  DdeUnaccessData(data);
  return text;
}

}  // namespace

DdeLinkServer::~DdeLinkServer() {
  conversation_.Item().SetChangeListener(nullptr);
  if (broadcast_ != nullptr) {
    broadcast_->SetPublished(nullptr);
    for (auto& [thread, listener] : listeners_) broadcast_->Unlisten(listener->heard);
  }
  listeners_.clear();
  if (registered_) DdeNameService(dde_.Id(), service_, nullptr, DNS_UNREGISTER);
  dde_.Close();
  if (workWindow_ != nullptr) DestroyWindow(workWindow_);
  if (nameHolder_ != nullptr) CloseHandle(nameHolder_);
  if (ThreadServer == this) ThreadServer = nullptr;
}

Outcome<LinkServer::RegisterError> DdeLinkServer::Register(const std::string& service) {
  using Result = Outcome<RegisterError>;
  if (!IsUsableServiceName(service) || service.size() > 255)
    return Result::Failure(RegisterError::Failed, "cannot serve the name \"" + service + "\"");
  if (ThreadServer != nullptr)
    return Result::Failure(RegisterError::Failed, "this thread serves a DDE service already");
  const unsigned opened =
      dde_.Open(&Callback, APPCLASS_STANDARD | CBF_SKIP_CONNECT_CONFIRMS | CBF_SKIP_REGISTRATIONS |
                               CBF_SKIP_UNREGISTRATIONS);
  if (opened != DMLERR_NO_ERROR)
    return Result::Failure(RegisterError::Failed, DdemlErrorText(opened));
  ThreadServer = this;
  service_ = dde_.String(service);
  topic_ = dde_.String(conversation_.Topic());
  item_ = dde_.String(conversation_.Item().Name());
  if (service_ == nullptr || topic_ == nullptr || item_ == nullptr)
    return Result::Failure(RegisterError::Failed, DdemlErrorText(dde_.LastError()));
  if (broadcast_ != nullptr) {
    broadcastTopic_ = dde_.String(broadcast_->Topic());
    broadcastItem_ = dde_.String(broadcast_->ItemName());
    if (broadcastTopic_ == nullptr || broadcastItem_ == nullptr)
      return Result::Failure(RegisterError::Failed, DdemlErrorText(dde_.LastError()));
  }
  // Any program that answers the name and topic keeps them; the mutex settles a race between
  // two drivers starting at once.
  if (Answered()) return AlreadyServed(service);
  if (Result held = HoldServiceName(service); !held.Ok()) return held;
  if (DdeNameService(dde_.Id(), service_, nullptr, DNS_REGISTER) == nullptr)
    return Result::Failure(RegisterError::Failed, DdemlErrorText(dde_.LastError()));
  registered_ = true;

  WNDCLASSEXW workClass{};
  workClass.cbSize = sizeof workClass;
  workClass.lpfnWndProc = WorkProcedure;
  workClass.hInstance = GetModuleHandleW(nullptr);
  workClass.lpszClassName = WorkClass;
  RegisterClassExW(&workClass);  // fails harmlessly when the class is there already
  workWindow_ = CreateWindowExW(0, WorkClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                workClass.hInstance, nullptr);
  if (workWindow_ == nullptr)
    return Result::Failure(RegisterError::Failed, win32::SystemErrorText(GetLastError()));
  conversation_.Item().SetChangeListener([this] {
    ++pendingNotices_;
    PostWork();
  });
  if (broadcast_ != nullptr) {
    broadcast_->SetPublished([this] {
      ++pendingBroadcastNotices_;
      PostWork();
    });
  }
  return Result::Success();
}

Outcome<LinkServer::RegisterError> DdeLinkServer::HoldServiceName(const std::string& service) {
  using Result = Outcome<RegisterError>;
  // Service names are atoms, which ignore case. The system drops the mutex with its process,
  // however that ends, so a killed driver never blocks its successor.
  std::string name = service;
  CharLowerBuffA(name.data(), static_cast<DWORD>(name.size()));
  nameHolder_ = CreateMutexA(nullptr, FALSE, ("Local\\ZEL DDE service " + name).c_str());
  if (nameHolder_ == nullptr)
    return Result::Failure(RegisterError::Failed, win32::SystemErrorText(GetLastError()));
  if (GetLastError() == ERROR_ALREADY_EXISTS) return AlreadyServed(service);
  return Result::Success();
}

Outcome<LinkServer::RegisterError> DdeLinkServer::AlreadyServed(const std::string& service) {
  return Outcome<RegisterError>::Failure(
      RegisterError::AlreadyServed,
      "service " + service + " is already served by a running program");
}

bool DdeLinkServer::Answered() {
  const HCONV probe = DdeConnect(dde_.Id(), service_, topic_, nullptr);
  if (probe == nullptr) return false;
  DdeDisconnect(probe);
  return true;
}

HDDEDATA CALLBACK DdeLinkServer::Callback(UINT type, UINT format, HCONV conversation, HSZ first,
                                          HSZ second, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
  if (ThreadServer == nullptr) return nullptr;
  return ThreadServer->Serve(type, format, conversation, first, second, data);
}

HDDEDATA DdeLinkServer::Serve(UINT type, UINT format, HCONV conversation, HSZ first, HSZ second,
                              HDDEDATA data) {
  if (type != XTYP_CONNECT && type != XTYP_WILDCONNECT && IsBroadcastTopic(first))
    return ServeBroadcastTopic(type, format, conversation, second);
  switch (type) {
    case XTYP_CONNECT:  // first: the topic
      return Flag(!closing_ &&
                  (conversation_.AcceptsTopic(dde_.Text(first)) ||
                   (broadcast_ != nullptr && broadcast_->AcceptsTopic(dde_.Text(first)))));
    case XTYP_WILDCONNECT:
      return closing_ ? nullptr : WildConnect(first, second);
    case XTYP_DISCONNECT:
      Forget(conversation);
      return nullptr;
    case XTYP_ADVREQ:  // a notice: the data goes to hot links only, but DDEML wants it
      return TextData(conversation_.Item().RequestText(), second);
    case XTYP_EXECUTE:
    case XTYP_POKE:
    case XTYP_REQUEST:
    case XTYP_ADVSTART:  // second: the item
      return InTurn(type, format, conversation, second, data);
    default:
      return nullptr;
  }
}

bool DdeLinkServer::IsBroadcastTopic(HSZ topic) {
  return broadcastTopic_ != nullptr && topic != nullptr &&
         DdeCmpStringHandles(topic, broadcastTopic_) == 0;
}

DdeLinkServer::Listener* DdeLinkServer::ListenerOf(HCONV conversation) {
  for (auto& [thread, listener] : listeners_) {
    const auto& held = listener->conversations;
    if (std::find(held.begin(), held.end(), conversation) != held.end()) return listener.get();
  }
  CONVINFO info{};
  info.cb = sizeof info;
  if (DdeQueryConvInfo(conversation, QID_SYNC, &info) == 0) return nullptr;
  const DWORD thread = GetWindowThreadProcessId(info.hwndPartner, nullptr);
  if (thread == 0) return nullptr;
  std::unique_ptr<Listener>& listener = listeners_[thread];
  if (listener == nullptr) listener = std::make_unique<Listener>();
  listener->conversations.push_back(conversation);
  return listener.get();
}

void DdeLinkServer::StopListening(Listener& listener) {
  listener.adviser = nullptr;
  broadcast_->Unlisten(listener.heard);  // what was heard stays for a last request
}

HDDEDATA DdeLinkServer::ServeBroadcastTopic(UINT type, UINT format, HCONV conversation, HSZ item) {
  // A listener joins, and takes its lines, between two transactions of the conversation's topic.
  if ((type == XTYP_ADVSTART || type == XTYP_REQUEST) && MustWait(conversation))
    return Block(conversation);
  const std::string name =
      DdeCmpStringHandles(item, broadcastItem_) == 0 ? broadcast_->ItemName() : dde_.Text(item);
  const bool served = broadcast_->CheckItem(name, format) == TransactionResult::Done;
  switch (type) {
    case XTYP_ADVSTART: {
      Listener* listener = served ? ListenerOf(conversation) : nullptr;
      if (listener == nullptr) return Flag(false);
      listener->adviser = conversation;
      broadcast_->Listen(listener->heard);
      return Flag(true);
    }
    case XTYP_REQUEST: {
      Listener* listener = served ? ListenerOf(conversation) : nullptr;
      if (listener == nullptr) return nullptr;
      return TextData(listener->heard.Take(), item);
    }
    case XTYP_ADVREQ:
      // Its data reaches hot links only, and a notice carries no value: taking the lines here
      // would lose them for the request that follows the notice.
      return TextData({}, item);
    case XTYP_ADVSTOP:
      if (Listener* listener = ListenerOf(conversation);
          listener && listener->adviser == conversation)
        StopListening(*listener);
      return nullptr;
    case XTYP_EXECUTE:
    case XTYP_POKE:
      return Ack(false);
    default:
      return nullptr;
  }
}

bool DdeLinkServer::MustWait(HCONV conversation) const {
  return serving_ || (!resuming_ && std::any_of(waiting_.begin(), waiting_.end(), [&](auto& w) {
           return w.conversation == conversation;
         }));
}

HDDEDATA DdeLinkServer::Block(HCONV conversation) {
  PostWork();
  waiting_.push_back({conversation, false, {}, 0, {}});
  return CBR_BLOCK;
}

HDDEDATA DdeLinkServer::InTurn(UINT type, UINT format, HCONV conversation, HSZ item,
                               HDDEDATA data) {
  if (MustWait(conversation)) {
    // A handler runs a window's loop, or this conversation has transactions waiting: this one
    // waits its turn. DDEML keeps a blocked transaction, except a poke, which Wine's DDEML
    // refuses when blocked: that one is taken here, acknowledged, and carried out in its turn.
    if (type != XTYP_POKE) return Block(conversation);
    PostWork();
    const std::string name = dde_.Text(item);
    if (conversation_.CheckItem(name, format) != TransactionResult::Done) return Ack(false);
    waiting_.push_back({conversation, true, name, format, DataText(data)});
    return Ack(true);
  }
  serving_ = true;
  const HDDEDATA result = Transact(type, format, item, data);
  serving_ = false;
  if (NoticesPending() || !waiting_.empty()) PostWork();
  return result;
}

HDDEDATA DdeLinkServer::Transact(UINT type, UINT format, HSZ item, HDDEDATA data) {
  switch (type) {
    case XTYP_EXECUTE:
      conversation_.Execute(DataText(data));
      return Ack(true);
    case XTYP_POKE:
      return Ack(conversation_.Poke(dde_.Text(item), format, DataText(data)) ==
                 TransactionResult::Done);
    case XTYP_REQUEST: {
      std::string answer;
      if (conversation_.Request(dde_.Text(item), format, answer) != TransactionResult::Done)
        return nullptr;
      return TextData(answer, item);
    }
    default:  // XTYP_ADVSTART
      return Flag(conversation_.CheckItem(dde_.Text(item), format) == TransactionResult::Done);
  }
}

HDDEDATA DdeLinkServer::WildConnect(HSZ topic, HSZ service) {
  // A client that names no service or no topic is told ours when the rest fits.
  if (service != nullptr && DdeCmpStringHandles(service, service_) != 0) return nullptr;
  std::vector<HSZPAIR> pairs;
  if (topic == nullptr || conversation_.AcceptsTopic(dde_.Text(topic)))
    pairs.push_back({service_, topic_});
  if (broadcastTopic_ != nullptr && (topic == nullptr || IsBroadcastTopic(topic)))
    pairs.push_back({service_, broadcastTopic_});
  if (pairs.empty()) return nullptr;
  pairs.push_back({nullptr, nullptr});
  return DdeCreateDataHandle(dde_.Id(), reinterpret_cast<LPBYTE>(pairs.data()),
                             static_cast<DWORD>(pairs.size() * sizeof(HSZPAIR)), 0, nullptr, 0, 0);
}

HDDEDATA DdeLinkServer::TextData(const std::string& text, HSZ item) {
  return DdeCreateDataHandle(dde_.Id(), reinterpret_cast<LPBYTE>(const_cast<char*>(text.c_str())),
                             static_cast<DWORD>(text.size() + 1), 0, item, CF_TEXT, 0);
}

void DdeLinkServer::Forget(HCONV conversation) {
  // DDEML drops what it held for a conversation that ended; the pokes taken here stay.
  waiting_.erase(
      std::remove_if(waiting_.begin(), waiting_.end(),
                     [&](const Waiting& w) { return w.conversation == conversation && !w.poke; }),
      waiting_.end());
  for (auto at = listeners_.begin(); at != listeners_.end(); ++at) {
    Listener& listener = *at->second;
    auto& held = listener.conversations;
    const auto found = std::find(held.begin(), held.end(), conversation);
    if (found == held.end()) continue;
    held.erase(found);
    if (listener.adviser == conversation) StopListening(listener);
    if (held.empty()) listeners_.erase(at);
    break;
  }
  resumed_.erase(std::remove(resumed_.begin(), resumed_.end(), conversation), resumed_.end());
}

void DdeLinkServer::PostWork() {
  if (!workPosted_ && workWindow_ != nullptr)
    workPosted_ = PostMessageW(workWindow_, WorkMessage, 0, 0) != 0;
}

LRESULT CALLBACK DdeLinkServer::WorkProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  if (message == WorkMessage && ThreadServer != nullptr) {
    ThreadServer->DoWork();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void DdeLinkServer::DoWork() {
  workPosted_ = false;
  if (serving_) return;  // posted again when the transaction ends
  // Notices leave from the loop, never from inside a transaction: Wine's DDEML loses a notice
  // posted while a poke is being served, and the poking client takes it for its acknowledgement.
  for (; pendingNotices_ > 0; --pendingNotices_) DdePostAdvise(dde_.Id(), topic_, item_);
  for (; pendingBroadcastNotices_ > 0; --pendingBroadcastNotices_)
    DdePostAdvise(dde_.Id(), broadcastTopic_, broadcastItem_);
  ResumeWaiting();
}

void DdeLinkServer::ResumeWaiting() {
  while (!waiting_.empty() && !serving_) {
    Waiting next = std::move(waiting_.front());
    waiting_.pop_front();
    if (next.poke) {
      serving_ = true;
      conversation_.Poke(next.item, next.format, next.text);
      serving_ = false;
    } else {
      if (std::find(resumed_.begin(), resumed_.end(), next.conversation) == resumed_.end())
        resumed_.push_back(next.conversation);
      resuming_ = true;
      DdeEnableCallback(dde_.Id(), next.conversation, EC_ENABLEONE);
      resuming_ = false;
    }
  }
  if (!waiting_.empty()) return;
  // DDEML may hold transactions of a blocked conversation that it never showed us.
  const std::vector<HCONV> resumed = std::exchange(resumed_, {});
  resuming_ = true;
  for (HCONV conversation : resumed) DdeEnableCallback(dde_.Id(), conversation, EC_ENABLEALL);
  resuming_ = false;
  if (NoticesPending()) PostWork();
}

void DdeLinkServer::ServeWhatHasArrived(int budgetMs) {
  closing_ = true;
  conversation_.StopHandling();
  if (nameHolder_ != nullptr) {  // a successor may start now: we take no new conversation
    CloseHandle(nameHolder_);
    nameHolder_ = nullptr;
  }
  const ULONGLONG start = GetTickCount64();
  const ULONGLONG deadline = start + static_cast<ULONGLONG>(std::max(budgetMs, 0));
  ULONGLONG quietFrom = start;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
      quietFrom = GetTickCount64();
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline || now >= quietFrom + QuietMs) return;
    const ULONGLONG wait = std::min(deadline, quietFrom + QuietMs) - now;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(wait), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

}  // namespace zel
