#include "bench/perf/Measures.h"

#include <unistd.h>

#include <algorithm>

#include "bench/roundtrip/roundtrip.h"
#include "bench/support/ChildProcess.h"
#include "bench/support/LinkCall.h"
#include "bench/support/PrivateDriver.h"
#include "common/Names.h"

namespace zel::bench {

namespace {

constexpr char PokedText[] = "0205 0001 1234AB";
// What "Receive" makes of station 0205's reply to that frame.
constexpr char DecodedReply[] = "0001 0205 1234AB\r\n";

double Percentile(std::vector<double> samples, double share) {
  if (samples.empty()) return 0;
  const auto at = static_cast<std::size_t>(share * static_cast<double>(samples.size() - 1));
  std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(at),
                   samples.end());
  return samples[at];
}

// Closes a descriptor however the measurement ends.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

bool Sequential(int fd, const rt_unit& unit, int warmUp, int count, std::vector<double>& samples,
                std::string& error) {
  char reason[200] = "";
  std::vector<double> ignored(static_cast<std::size_t>(std::max(warmUp, 1)));
  samples.assign(static_cast<std::size_t>(count), 0);
  if ((warmUp > 0 && rt_sequential(fd, &unit, warmUp, ignored.data(), reason, sizeof reason)) ||
      rt_sequential(fd, &unit, count, samples.data(), reason, sizeof reason)) {
    error = reason;
    return false;
  }
  return true;
}

bool Pipelined(int fd, const rt_unit& unit, int count, double& perSecond, std::string& error) {
  char reason[200] = "";
  double seconds = 0;
  if (rt_pipelined(fd, &unit, count, 256, &seconds, reason, sizeof reason) != 0) {
    error = reason;
    return false;
  }
  perSecond = count / seconds;
  return true;
}

// An execute, timed to its acknowledgement, which comes once the command has run.
bool TimedExecute(LinkCall& call, const char* command, uint32_t id, double& ms,
                  std::string& error) {
  LinkMessage answer;
  const double start = NowUs();
  if (!call.Transact(MakeMessage(MessageKind::Execute, id, command), answer, 30000, error))
    return false;
  ms = (NowUs() - start) / 1000;
  if (answer.kind == MessageKind::Ack) return true;
  error = std::string(command) + " answered " + Describe(answer);
  return false;
}

bool Expect(LinkCall& call, const LinkMessage& message, MessageKind kind, const std::string& text,
            std::string& error) {
  LinkMessage answer;
  if (!call.Transact(message, answer, 30000, error)) return false;
  if (answer.kind == kind && (kind != MessageKind::Data || answer.text == text)) return true;
  error = "id " + std::to_string(message.id) + " answered " + Describe(answer) + ", expected " +
          std::string(1, static_cast<char>(kind)) +
          (kind == MessageKind::Data ? " " + Describe(MakeMessage(kind, 0, text)).substr(2) : "");
  return false;
}

LinkMessage Request(uint32_t id) { return MakeMessage(MessageKind::Request, id, {}, DriverItem); }

// Requests until the item is not empty, as clients wait for an outcome.
bool AwaitOutcome(LinkCall& call, uint32_t id, const std::string& text, std::string& error) {
  for (int tries = 0; tries < 1000; ++tries) {
    LinkMessage answer;
    if (!call.Transact(Request(id), answer, 30000, error)) return false;
    if (answer.kind == MessageKind::Data && answer.text == "\r\n") continue;
    if (answer.kind == MessageKind::Data && answer.text == text) return true;
    error = "the outcome was " + Describe(answer);
    return false;
  }
  error = "the item stayed empty";
  return false;
}

}  // namespace

bool MeasureRoundTrips(const std::string& socketPath, bool quick, RoundTrips& figures,
                       std::string& error) {
  Descriptor link{rt_connect(socketPath.c_str())};
  if (link.fd < 0) {
    error = "cannot connect to " + socketPath;
    return false;
  }
  // The item then holds one empty line: each request is answered with CR LF.
  rt_unit start{}, request{}, pair{};
  rt_add(&start, 'C', 1, nullptr, DriverTopic, 'k');
  rt_add(&start, 'P', 2, DriverItem, "0205 0001 12", 'k');
  rt_add(&request, 'R', 3, DriverItem, nullptr, 'd');
  rt_add(&pair, 'E', 4, nullptr, VersionCommand, 'k');
  rt_add(&pair, 'R', 5, DriverItem, nullptr, 'd');

  const int scale = quick ? 10 : 1;
  std::vector<double> samples;
  if (!Sequential(link.fd, start, 0, 1, samples, error) ||
      !Sequential(link.fd, request, 2000 / scale, 20000 / scale, samples, error))
    return false;
  figures.requestMedianUs = Percentile(samples, 0.5);
  figures.requestP99Us = Percentile(samples, 0.99);
  if (!Pipelined(link.fd, request, 200000 / scale, figures.requestsPerSecond, error) ||
      !Sequential(link.fd, pair, 1000 / scale, 10000 / scale, samples, error))
    return false;
  figures.pairMedianUs = Percentile(samples, 0.5);
  return Pipelined(link.fd, pair, 100000 / scale, figures.pairsPerSecond, error);
}

bool MeasureStart(const std::string& program, double& ms, std::string& error) {
  PrivateDriver driver({program, "", "Immediately answer"});
  if (!driver.Install(error)) return false;
  const double start = NowUs();
  if (!driver.Launch(error)) return false;
  LinkCall call;
  while (!call.Open(driver.SocketPath(), error)) {
    if (!driver.Running() || NowUs() - start > 10e6) {
      error = "the driver did not serve within 10 s: " + driver.LogTail();
      return false;
    }
    usleep(200);
  }
  if (!call.Converse(error) || !Expect(call, Request(2), MessageKind::Data, "", error))
    return false;
  ms = (NowUs() - start) / 1000;
  const int status = driver.Close(5000);
  if (status == 0) return true;
  error = "the driver ended with status " + std::to_string(status) + " after \"Close\"";
  return false;
}

bool StartZelsim(const Programs& programs, ChildProcess& zelsim, std::string& device,
                 std::string& error) {
  if (!zelsim.Start({programs.zelsim, "--station", "0205"}, {}, "", true, error)) return false;
  if (zelsim.ReadLine(device, 5000) && !device.empty()) return true;
  error = "zelsim did not name its device";
  return false;
}

bool MeasureLine(const Programs& programs, int runs, std::vector<LineTimes>& times,
                 std::string& error) {
  ChildProcess zelsim;
  std::string device;
  if (!StartZelsim(programs, zelsim, device, error)) return false;
  PrivateDriver driver({programs.driver, device, LineLatency});
  LinkCall call;
  if (!driver.Start(10000, error) || !call.Open(driver.SocketPath(), error) ||
      !call.Converse(error))
    return false;
  LinkMessage answer;
  if (!call.Send(MakeMessage(MessageKind::Execute, 2, PortStateCommand), error) ||
      !call.Receive(answer, 10000, error) ||
      !Expect(call, Request(3), MessageKind::Data, "OK\r\n", error)) {
    error = "the driver's port on " + device + " is not working: " + error;
    return false;
  }
  const LinkMessage poke = MakeMessage(MessageKind::Poke, 4, PokedText, DriverItem);
  for (int run = 0; run < runs; ++run) {
    LineTimes t;
    // Each command alone; the reply is let in before "Receive".
    if (!Expect(call, poke, MessageKind::Ack, "", error) ||
        !TimedExecute(call, SendCommand, 5, t.sendMs, error) ||
        !Expect(call, Request(6), MessageKind::Data, "sended\r\n", error))
      return false;
    usleep(250000);
    if (!TimedExecute(call, ReceiveCommand, 7, t.receiveWaitingMs, error) ||
        !Expect(call, Request(8), MessageKind::Data, DecodedReply, error) ||
        !TimedExecute(call, ReceiveCommand, 9, t.receiveNothingMs, error) ||
        !Expect(call, Request(10), MessageKind::Data, "00\r\n", error))
      return false;
    // The exchange as a client runs it.
    const double start = NowUs();
    if (!Expect(call, poke, MessageKind::Ack, "", error) ||
        !call.Send(MakeMessage(MessageKind::Execute, 11, SendCommand), error) ||
        !call.Receive(answer, 30000, error) || !AwaitOutcome(call, 12, "sended\r\n", error) ||
        !call.Send(MakeMessage(MessageKind::Execute, 13, ReceiveCommand), error) ||
        !call.Receive(answer, 30000, error) || !AwaitOutcome(call, 14, DecodedReply, error))
      return false;
    t.exchangeMs = (NowUs() - start) / 1000;
    times.push_back(t);
    usleep(250000);
  }
  driver.Close(5000);
  zelsim.Stop(15, 5000);
  return true;
}

bool MeasureSerialExchange(const Programs& programs, int runs, std::vector<double>& ms,
                           std::string& error) {
  if (access(programs.python.c_str(), X_OK) != 0) {
    error = programs.python + " is not there";
    return false;
  }
  ChildProcess zelsim, python;
  std::string device, line;
  if (!StartZelsim(programs, zelsim, device, error)) return false;
  if (!python.Start({programs.python, programs.serialScript, device, std::to_string(runs)}, {}, "-",
                    true, error))
    return false;
  while (python.ReadLine(line, 30000)) {
    if (line.rfind("exchange_ms ", 0) == 0) ms.push_back(std::stod(line.substr(12)));
  }
  const int status = python.Stop(15, 5000);
  zelsim.Stop(15, 5000);
  if (status == 0 && static_cast<int>(ms.size()) == runs) return true;
  error = status == 4 ? "pyserial is not installed (Debian: python3-serial)"
                      : "the pyserial exchange failed (status " + std::to_string(status) + ")";
  return false;
}

}  // namespace zel::bench
