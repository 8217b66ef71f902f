// dde_probe: a plain DDEML client on nothing but the Win32 API. It connects, carries out the
// actions of its command line in order on one conversation and prints what each got.
//   dde_probe [-s SERVICE] [-t TOPIC] [-i ITEM] [-f FORMAT] ACTION...
//   ACTION: advise | poke TEXT | exec WORD | request | notices N
// An empty SERVICE or TOPIC asks for any. "exec" sends asynchronously and waits for the answer in
// its own loop, which serves other programs' messages meanwhile. "notices N" waits up to 10 s
// until N notices have come since the last "notices" and prints how many did.
// Exit status: 0 all done; 2 an action failed, its DMLERR on standard error; 3 no conversation.

#include <windows.h>
// After windows.h, whose types it uses.
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

int notices = 0;
bool posted = false;  // the answer to "exec" came

HDDEDATA CALLBACK Callback(UINT type, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  posted = posted || type == XTYP_XACT_COMPLETE;
  if (type != XTYP_ADVDATA) return nullptr;
  ++notices;
  return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
}

std::string ErrorName(UINT code) {
  std::istringstream names(
      "ADVACKTIMEOUT BUSY DATAACKTIMEOUT DLL_NOT_INITIALIZED DLL_USAGE EXECACKTIMEOUT "
      "INVALIDPARAMETER LOW_MEMORY MEMORY_ERROR NOTPROCESSED NO_CONV_ESTABLISHED POKEACKTIMEOUT "
      "POSTMSG_FAILED REENTRANCY SERVER_DIED SYS_ERROR UNADVACKTIMEOUT UNFOUND_QUEUE_ID");
  std::string name;
  for (UINT at = DMLERR_FIRST; names >> name; ++at)
    if (at == code) return name;
  return "NO_ERROR";
}

int Failed(const char* action, UINT code) {
  std::fprintf(stderr, "dde_probe: %s: DMLERR_%s\n", action, ErrorName(code).c_str());
  return 2;
}

// Dispatches DDE messages until `done` says so or `ms` have passed.
template <typename Done>
void Pump(DWORD ms, Done done) {
  const ULONGLONG deadline = GetTickCount64() + ms;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, WM_DDE_FIRST, WM_DDE_LAST, PM_REMOVE)) {
      DispatchMessageA(&message);
      if (done(message)) return;
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                              QS_POSTMESSAGE | QS_SENDMESSAGE);
  }
}

// Text in double quotes, with CR, LF, backslash, quote and any other unprintable byte escaped.
std::string Quoted(const char* text, std::size_t size) {
  std::string quoted = "\"";
  for (std::size_t i = 0; i < size && text[i] != '\0'; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02x", c);
    if (c == '\r' || c == '\n') {
      quoted += c == '\r' ? "\\r" : "\\n";
    } else {
      const bool plain = c >= 0x20 && c < 0x7f && c != '\\' && c != '"';
      quoted += plain ? std::string(1, static_cast<char>(c)) : escape;
    }
  }
  return quoted + "\"";
}

}  // namespace

int main(int argc, char* argv[]) {
  const char* names[] = {"ZELdrv", "ZELdriver", "ZELDDEItem"};  // service, topic, item
  UINT format = CF_TEXT;
  int at = 1;
  static const char letters[] = "sti";
  for (; at + 1 < argc && argv[at][0] == '-'; at += 2) {
    const char* letter = std::strchr(letters, argv[at][1]);
    if (letter != nullptr && *letter != '\0') names[letter - letters] = argv[at + 1];
    if (argv[at][1] == 'f') format = static_cast<UINT>(std::atoi(argv[at + 1]));
  }
  DWORD instance = 0;
  if (DdeInitializeA(&instance, Callback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return 3;
  HSZ strings[3];
  for (int i = 0; i < 3; ++i)
    strings[i] = *names[i] ? DdeCreateStringHandleA(instance, names[i], CP_WINANSI) : nullptr;
  const HCONV conversation = DdeConnect(instance, strings[0], strings[1], nullptr);
  if (conversation == nullptr) return Failed("connect", DdeGetLastError(instance)) + 1;
  CONVINFO info{};
  info.cb = sizeof info;
  DdeQueryConvInfo(conversation, QID_SYNC, &info);

  const HSZ item = strings[2];
  int status = 0;
  for (; at < argc && status == 0; ++at) {
    const std::string action = argv[at];
    const bool hasArgument = action == "poke" || action == "exec" || action == "notices";
    const char* argument = hasArgument && at + 1 < argc ? argv[++at] : "";
    const auto bytes = reinterpret_cast<LPBYTE>(const_cast<char*>(argument));
    const DWORD size = static_cast<DWORD>(std::strlen(argument) + 1);
    DWORD result = DDE_FACK;
    if (action == "advise") {
      if (!DdeClientTransaction(nullptr, 0, conversation, item, format,
                                XTYP_ADVSTART | XTYPF_NODATA, 5000, &result))
        status = Failed("advise", DdeGetLastError(instance));
    } else if (action == "poke") {
      const HDDEDATA done =
          DdeClientTransaction(bytes, size, conversation, item, format, XTYP_POKE, 10000, &result);
      // Wine's DDEML reports a refused poke as done: the acknowledgement's flags tell.
      if (done == nullptr || (result & DDE_FACK) == 0)
        status = Failed("poke", done ? DMLERR_NOTPROCESSED : DdeGetLastError(instance));
    } else if (action == "exec") {
      DWORD id = 0;
      posted = false;
      if (!DdeClientTransaction(bytes, size, conversation, nullptr, 0, XTYP_EXECUTE, TIMEOUT_ASYNC,
                                &id))
        status = Failed("exec", DdeGetLastError(instance));
      Pump(10000, [](const MSG&) { return posted; });
      // Wine's DDEML keeps an answered asynchronous transaction first in line, where it would
      // take the answers to the next ones; it finds none by the identifier it gave (0: all).
      DdeAbandonTransaction(instance, conversation, 0);
      if (status == 0 && !posted) status = Failed("exec", DMLERR_EXECACKTIMEOUT);
    } else if (action == "request") {
      const HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, item, format,
                                                 XTYP_REQUEST, 10000, &result);
      if (data == nullptr) {
        status = Failed("request", DdeGetLastError(instance));
        continue;
      }
      DWORD length = 0;
      const LPBYTE text = DdeAccessData(data, &length);
      std::printf("request %s\n", Quoted(reinterpret_cast<const char*>(text), length).c_str());
      DdeUnaccessData(data);
      DdeFreeDataHandle(data);
      // Wine's DDEML server follows its answer with an acknowledgement; left queued, the next
      // transaction would take it for its own answer.
      Pump(1000, [&](const MSG& m) { return m.hwnd == info.hwnd && m.message == WM_DDE_ACK; });
      continue;
    } else if (action == "notices") {
      const int wanted = std::atoi(argument);
      Pump(10000, [&](const MSG&) { return notices >= wanted; });
      std::printf("notices %d\n", notices);
      notices = 0;
      continue;
    } else {
      std::fprintf(stderr, "dde_probe: unknown action %s\n", action.c_str());
      status = 1;
    }
    if (status == 0) std::printf("%s ok\n", action.c_str());
  }
  std::fflush(stdout);
  DdeDisconnect(conversation);
  DdeUninitialize(instance);
  return status;
}
