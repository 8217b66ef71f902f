#pragma once
// The speed program's measurements. Each returns its figures, or false with a reason; every wait
// is bounded.

#include <string>
#include <vector>

namespace zel::bench {

struct Programs {
  std::string driver, zelsim, rawEcho, python, serialScript;
};

// Round trips on one socket, the driver's or the raw echo's.
struct RoundTrips {
  double requestMedianUs = 0, requestP99Us = 0, requestsPerSecond = 0;
  double pairMedianUs = 0, pairsPerSecond = 0;  // execute "Version" + request
};
bool MeasureRoundTrips(const std::string& socketPath, bool quick, RoundTrips& figures,
                       std::string& error);

// Milliseconds from starting the driver to its first answer (connect, request, data).
bool MeasureStart(const std::string& program, double& ms, std::string& error);

// Commands on zelsim's line through the driver, each timed from the execute to its
// acknowledgement, and the whole exchange poke, "Send", request, "Receive", request.
struct LineTimes {
  double sendMs = 0, receiveWaitingMs = 0, receiveNothingMs = 0, exchangeMs = 0;
};
// The same command times that the port's time-outs take by themselves.
constexpr double MandatedSendMs = 25 + 25;             // the read that drains, the echo read
constexpr double MandatedReceiveWaitingMs = 50;        // a reply there: the gap after its last byte
constexpr double MandatedReceiveNothingMs = 25 + 256;  // "Approximately 0.25 second": 25 + 256 x 1
constexpr char LineLatency[] = "Approximately 0.25 second";
bool MeasureLine(const Programs& programs, int runs, std::vector<LineTimes>& times,
                 std::string& error);

// The exchange done directly with pyserial on zelsim's line, in ms per exchange.
bool MeasureSerialExchange(const Programs& programs, int runs, std::vector<double>& ms,
                           std::string& error);

// Starts zelsim with station 0205; the device it serves.
class ChildProcess;
bool StartZelsim(const Programs& programs, ChildProcess& zelsim, std::string& device,
                 std::string& error);

}  // namespace zel::bench
