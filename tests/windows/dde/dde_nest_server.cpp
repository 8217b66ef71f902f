// dde_nest_server: the DDE link's server before a stand-in for the driver whose "Nest" command
// runs a window's message loop for 2 s, as a modal dialog does, so that transactions arrive
// while one is being served. A poke sets the item to "poked <text>", "Nest" to "nested",
// "Depth" to the deepest nesting of handlers seen (1 when they never overlapped), "Close" ends.
//   dde_nest_server [SERVICE]   (default ZELnest)

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "common/Names.h"
#include "ddelink/dde/DdeLinkServer.h"

using namespace zel;

namespace {

class NestingHandler : public ConversationHandler {
 public:
  explicit NestingHandler(ServerItem& item) : item_(item) {}

  void ExecuteMacro(const std::vector<std::string>& lines) override {
    const std::string word = lines.empty() ? "" : lines.front();
    Enter();
    if (word == "Nest") {
      const ULONGLONG end = GetTickCount64() + 2000;
      for (MSG message; GetTickCount64() < end;) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
      }
      item_.SetText("nested");
    } else if (word == "Depth") {
      item_.SetText(std::to_string(deepest_));
    } else if (word == "Close") {
      PostQuitMessage(0);
    }
    --depth_;
  }

  void PokeData() override {
    Enter();
    item_.SetText("poked " + item_.Text());
    --depth_;
  }

 private:
  void Enter() { deepest_ = std::max(deepest_, ++depth_); }

  ServerItem& item_;
  int depth_ = 0;
  int deepest_ = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
  ServerItem item(DriverItem);
  NestingHandler handler(item);
  ServerConversation conversation(DriverTopic, item, handler);
  DdeLinkServer link(conversation);
  const auto registered = link.Register(argc > 1 ? argv[1] : "ZELnest");
  if (!registered.Ok()) {
    std::fprintf(stderr, "dde_nest_server: %s\n", registered.text.c_str());
    return 1;
  }
  for (MSG message; GetMessageW(&message, nullptr, 0, 0) > 0;) DispatchMessageW(&message);
  link.ServeWhatHasArrived(1000);
  return 0;
}
