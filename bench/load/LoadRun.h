#pragma once
// Many clients on one driver at once, in one thread: each runs its transactions (poke, request,
// execute "Version", request) and checks every answer, and one watcher counts the item's notices.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ddelink/LinkWire.h"

namespace zel::bench {

struct LoadOptions {
  int clients = 1000;
  int transactions = 100;  // per client
  int stallSeconds = 60;   // no answer at all for this long is a fault
  int refusalEvery = 10;   // every Nth transaction also requests an item that does not exist
};

inline constexpr char OtherText[] = "other";

struct LoadReport {
  long transactions = 0;     // completed, all answers checked
  long messages = 0;         // sent by the clients
  long answers = 0;          // to the clients' messages, matched
  long connectRetries = 0;   // connects that found the backlog full
  long notices = 0;          // received by the watcher
  long expectedNotices = 0;  // two per poke, one per "Version"
  double seconds = 0;        // from the first transaction sent to the last answer
  // Request answers by text; any text but the two the item may hold counts as OtherText.
  std::map<std::string, long> afterPoke, afterVersion;
  long faultCount = 0;
  std::vector<std::string> faults;  // the first few, for people
  void Fault(std::string text);
};

class LoadRun {
 public:
  LoadRun(std::string socketPath, LoadOptions options);
  ~LoadRun();
  LoadRun(const LoadRun&) = delete;
  LoadRun& operator=(const LoadRun&) = delete;

  // Opens every client's connection and the watcher's, before any transaction starts.
  bool Connect(std::string& error);
  // Runs every transaction to its end, or until the driver stalls. Faults go to the report.
  void Run();
  const LoadReport& Report() const { return report_; }

 private:
  struct Client;
  struct Answer;
  void StartTransaction(Client& client);
  void Queue(Client& client, std::string bytes, Answer expected);
  void Flush(Client& client);
  void Take(Client& client);
  void Check(Client& client, const LinkMessage& answer);
  void Lose(Client& client, const std::string& why);
  // Runs the event loop until done() holds; false when the driver stalled.
  bool Loop(const std::function<bool()>& done);

  std::string socketPath_;
  LoadOptions options_;
  LoadReport report_;
  int epoll_ = -1;
  std::vector<std::unique_ptr<Client>> clients_;  // the watcher last
  int busy_ = 0;       // clients with transactions still to run or answers to come
  long received_ = 0;  // reads that brought bytes, to tell a stall
};

}  // namespace zel::bench
