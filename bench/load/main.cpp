// zelload: starts a private driver and runs many concurrent clients' transactions on it, checking
// that every answer comes back, to its own client, in its own order. Prints the transactions per
// second and the driver's peak resident size. Exit status: 0 no fault, 1 faults, 2 usage error,
// 3 the run could not be set up.

#include <cstdio>
#include <cstring>
#include <string>

#include "bench/load/LoadRun.h"
#include "bench/support/LinkCall.h"
#include "bench/support/PrivateDriver.h"
#include "common/Names.h"
#include "common/ParseNumber.h"
#include "common/Version.h"

using namespace zel;
using namespace zel::bench;

namespace {

const char* const Usage =
    "usage: zelload [--driver PATH] [--clients N] [--transactions M] [--stall-seconds S]\n"
    "\n"
    "Starts a private copy of the driver (its own folder, configuration and link\n"
    "directory; its port a device that does not exist) and opens N connections at\n"
    "once (default 1000), plus one that watches the item. Each client runs M\n"
    "transactions (default 100): poke a text of its own, request, execute \"Version\",\n"
    "request; every 10th also requests an item that does not exist. Every answer\n"
    "is checked: its id, its kind, its order on the connection and what the shared\n"
    "item may hold. No answer for S seconds (default 60) is a fault.\n"
    "\n"
    "Exit status: 0 no fault, 1 faults (listed), 2 usage error, 3 the driver could\n"
    "not be started.\n";

struct Options {
  std::string driver = ZEL_BIN_DIR "/ZELdrv";
  LoadOptions load;
};

int UsageError(const std::string& text) {
  std::fprintf(stderr, "zelload: %s\n%s", text.c_str(), Usage);
  return 2;
}

bool ParseOptions(int argc, char** argv, Options& options, int& status) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help") {
      std::fputs(Usage, stdout);
      status = 0;
      return false;
    }
    if (i + 1 >= argc) {
      status = UsageError(option == "--driver" || option == "--clients" ||
                                  option == "--transactions" || option == "--stall-seconds"
                              ? option + " needs a value"
                              : "unknown option " + option);
      return false;
    }
    const std::string value = argv[++i];
    std::optional<int> number;
    if (option == "--driver") {
      options.driver = value;
      continue;
    } else if (option == "--clients") {
      number = ParseNumber<int>(value, 1, 100000);
      if (number) options.load.clients = *number;
    } else if (option == "--transactions") {
      number = ParseNumber<int>(value, 1, 1000000);
      if (number) options.load.transactions = *number;
    } else if (option == "--stall-seconds") {
      number = ParseNumber<int>(value, 1, 3600);
      if (number) options.load.stallSeconds = *number;
    } else {
      status = UsageError("unknown option " + option);
      return false;
    }
    if (!number) {
      status = UsageError("bad value for " + option + ": \"" + value + "\"");
      return false;
    }
  }
  // Every message's id is unique over the whole run.
  const double ids =
      (static_cast<double>(options.load.clients) + 1) * (6.0 * options.load.transactions + 4);
  if (ids >= 4e9) {
    status = UsageError("clients times transactions is too large");
    return false;
  }
  return true;
}

std::string Shown(const std::string& text) {
  LinkMessage data = MakeMessage(MessageKind::Data, 0, text);
  return Describe(data).substr(2);
}

// With no other client on the line, what the item holds is known exactly.
bool CheckAlone(const std::string& socketPath, LoadReport& report) {
  LinkCall call;
  std::string error;
  LinkMessage answer;
  struct Step {
    LinkMessage message;
    MessageKind kind;
    std::string text;
  };
  const Step steps[] = {
      {MakeMessage(MessageKind::Poke, 2, "0205 0001 0A0B0C", DriverItem), MessageKind::Ack, ""},
      {MakeMessage(MessageKind::Request, 3, {}, DriverItem), MessageKind::Data, "\r\n"},
      {MakeMessage(MessageKind::Execute, 4, VersionCommand), MessageKind::Ack, ""},
      {MakeMessage(MessageKind::Request, 5, {}, DriverItem), MessageKind::Data,
       std::string(ReleaseNumber) + "\r\n"},
  };
  if (!call.Open(socketPath, error) || !call.Converse(error)) {
    report.Fault("a single client afterwards: " + error);
    return false;
  }
  for (const Step& step : steps) {
    if (!call.Transact(step.message, answer, 10000, error)) {
      report.Fault("a single client afterwards: " + error);
      return false;
    }
    if (answer.kind != step.kind || answer.text != step.text) {
      report.Fault("a single client afterwards: id " + std::to_string(step.message.id) +
                   " answered " + Describe(answer) + ", expected " +
                   std::string(1, static_cast<char>(step.kind)) + " " + Shown(step.text));
      return false;
    }
  }
  return true;
}

void PrintTally(const char* what, const std::map<std::string, long>& tally) {
  std::printf("  request %s:", what);
  for (const auto& [text, count] : tally)
    std::printf(" %s %ld;", text == OtherText ? OtherText : Shown(text).c_str(), count);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int status = 0;
  if (!ParseOptions(argc, argv, options, status)) return status;

  CatchStopSignals();
  // One descriptor per client; the driver inherits the limit and needs as many.
  const long limit = RaiseDescriptorLimit();
  if (limit >= 0 && limit < options.load.clients + 64L) {
    std::fprintf(stderr, "zelload: %d clients need %d descriptors; the limit is %ld\n",
                 options.load.clients, options.load.clients + 64, limit);
    return 3;
  }

  PrivateDriver driver({options.driver, "", "Immediately answer"});
  std::string error;
  if (!driver.Start(10000, error)) {
    std::fprintf(stderr, "zelload: %s\n", error.c_str());
    return 3;
  }
  std::printf("zelload: %d clients x %d transactions on a private driver (%s), pid %d\n",
              options.load.clients, options.load.transactions, options.driver.c_str(),
              static_cast<int>(driver.Pid()));
  std::fflush(stdout);

  const long expected = static_cast<long>(options.load.clients) * options.load.transactions;
  LoadReport report;
  {
    LoadRun run(driver.SocketPath(), options.load);
    if (!run.Connect(error)) {
      report.Fault(error);
    } else {
      run.Run();
    }
    report = run.Report();
  }
  if (report.transactions != expected)
    report.Fault(std::to_string(report.transactions) + " of " + std::to_string(expected) +
                 " transactions were completed");
  const bool aloneOk = driver.Running() && CheckAlone(driver.SocketPath(), report);
  const long peakKb = driver.StatusKb("VmHWM");
  const long nowKb = driver.StatusKb("VmRSS");
  const bool wasRunning = driver.Running();
  const int exitStatus = driver.Close(5000);
  if (!wasRunning)
    report.Fault("the driver ended during the run (status " + std::to_string(exitStatus) + ")");
  else if (exitStatus != 0)
    report.Fault("the driver ended with status " + std::to_string(exitStatus) +
                 " after \"Close\" (-1: not within 5 s, or by a signal)");

  std::printf("  connected %d clients and a watcher; the listen backlog was full %ld times\n",
              options.load.clients, report.connectRetries);
  std::printf("  transactions: %ld of %ld in %.2f s = %.0f transactions/s (%ld messages, %.0f/s)\n",
              report.transactions, expected, report.seconds,
              report.seconds > 0 ? report.transactions / report.seconds : 0.0, report.messages,
              report.seconds > 0 ? report.messages / report.seconds : 0.0);
  std::printf("  answers: %ld of %ld messages answered by id, kind and order; notices %ld of %ld\n",
              report.answers, report.messages, report.notices, report.expectedNotices);
  PrintTally("after a poke", report.afterPoke);
  PrintTally("after \"Version\"", report.afterVersion);
  if (aloneOk)
    std::printf(
        "  a single client afterwards: poke, request \"\\r\\n\"; \"Version\", request "
        "\"%s\\r\\n\"\n",
        ReleaseNumber);
  std::printf("  driver peak resident size: %.1f MB (VmHWM); %.1f MB at the end\n", peakKb / 1024.0,
              nowKb / 1024.0);
  if (report.faultCount == 0) {
    std::printf("zelload: OK, nothing lost or misrouted\n");
    return 0;
  }
  std::printf("zelload: %ld faults\n", report.faultCount);
  for (const auto& fault : report.faults) std::printf("  %s\n", fault.c_str());
  if (report.faultCount > static_cast<long>(report.faults.size()))
    std::printf("  ... and %ld more\n",
                report.faultCount - static_cast<long>(report.faults.size()));
  std::printf("driver output (end):\n%s\n", driver.LogTail(1500).c_str());
  return 1;
}
