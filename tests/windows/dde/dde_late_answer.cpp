// dde_late_answer: the link client after a request that timed out while the server was busy (its
// answer comes late): the transactions that follow must each get their own answer. Against
// dde_nest_server, whose "Nest" keeps it busy for 2 s; prints one line per step.

#include <cstdio>

#include "common/Names.h"
#include "ddelink/LinkClient.h"

using namespace zel;

namespace {

void Show(const char* step, bool done, const LinkClient& link) {
  std::printf("%s: %s\n", step, done ? "ok" : link.LastError().c_str());
}

void Show(const char* step, const std::optional<std::string>& text, const LinkClient& link) {
  if (!text) return Show(step, false, link);
  std::string shown;
  for (const char c : *text) shown += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
  std::printf("%s: \"%s\"\n", step, shown.c_str());
}

}  // namespace

int main() {
  const auto link = MakePlatformLinkClient();
  if (!link->Connect("ZELnest", DriverTopic)) return Show("connect", false, *link), 3;
  Show("execute Nest", link->Execute("Nest"), *link);
  Show("request", link->Request(DriverItem, 300), *link);
  Show("poke", link->Poke(DriverItem, "late", 10000), *link);
  Show("request", link->Request(DriverItem, 10000), *link);
  Show("execute Depth", link->Execute("Depth"), *link);
  Show("request", link->Request(DriverItem, 10000), *link);
  Show("request", link->Request(DriverItem, 10000), *link);
  return 0;
}
