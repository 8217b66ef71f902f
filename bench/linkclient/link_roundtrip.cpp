// link_roundtrip: the link's round trips as the driver's clients see them, through the link
// client of the platform (local sockets on Linux, DDEML on Windows): the median of N pokes each
// followed by a request, then of N requests alone, in microseconds. Every answer is checked: a
// poked item is emptied, so its request answers CR LF. The driver must be running.
//   link_roundtrip [N]   (default 1000)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/Names.h"
#include "ddelink/LinkClient.h"
#include "ddelink/LinkTimeouts.h"

using namespace zel;

int main(int argc, char* argv[]) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  const auto link = MakePlatformLinkClient();
  if (!link->Connect(DriverService, DriverTopic)) {
    std::fprintf(stderr, "link_roundtrip: %s\n", link->LastError().c_str());
    return 3;
  }
  auto median = [&](auto transaction) -> long long {
    std::vector<long long> times;
    for (int i = 0; i < count; ++i) {
      const auto start = std::chrono::steady_clock::now();
      if (!transaction()) return -1;
      times.push_back(std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - start)
                          .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
  };
  const long long pokeAndRequest = median([&] {
    return link->Poke(DriverItem, "0205 0001 1234AB", PokeTimeoutMs) &&
           link->Request(DriverItem, RequestTimeoutMs) == std::optional<std::string>("\r\n");
  });
  const long long request =
      median([&] { return link->Request(DriverItem, RequestTimeoutMs).has_value(); });
  if (pokeAndRequest < 0 || request < 0) {
    std::fprintf(stderr, "link_roundtrip: %s\n", link->LastError().c_str());
    return 1;
  }
  std::printf("poke+request %lld us\nrequest %lld us\n", pokeAndRequest, request);
  return 0;
}
