// zelbench: the driver's speed figures beside their references, in one run: request round trips
// against a raw echo server, execute plus request, command times on zelsim's line against what
// the time-outs take, the exchange against pyserial on the line, start time, idle wake-ups and
// resident size. Exit status: 0 every figure measured, 1 some could not be, 2 usage error.

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/perf/Measures.h"
#include "bench/support/ChildProcess.h"
#include "bench/support/LinkCall.h"
#include "bench/support/PrivateDriver.h"
#include "common/ParseNumber.h"

using namespace zel::bench;

namespace {

const char* const Usage =
    "usage: zelbench [--runs N] [--quick] [--driver PATH] [--zelsim PATH] [--raw-echo PATH]\n"
    "                [--python PATH] [--serial-script PATH]\n"
    "\n"
    "Measures a private copy of the driver and prints its figures beside their\n"
    "references. Each figure is taken N times (default 3; 5 for the line): shown\n"
    "as the median of the runs and their range. --quick takes a tenth of the\n"
    "round trips and a shorter idle wait.\n";

struct Options {
  Programs programs{ZEL_BIN_DIR "/ZELdrv", ZEL_BIN_DIR "/zelsim", ZEL_BENCH_BIN_DIR "/raw_echo",
                    "/usr/bin/python3", ZEL_BENCH_SOURCE_DIR "/serial/serial_exchange.py"};
  int runs = 3;
  bool quick = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    std::string* path = option == "--driver"          ? &options.programs.driver
                        : option == "--zelsim"        ? &options.programs.zelsim
                        : option == "--raw-echo"      ? &options.programs.rawEcho
                        : option == "--python"        ? &options.programs.python
                        : option == "--serial-script" ? &options.programs.serialScript
                                                      : nullptr;
    if (option == "--quick") {
      options.quick = true;
    } else if ((path || option == "--runs") && i + 1 < argc) {
      const std::string value = argv[++i];
      if (path) {
        *path = value;
        continue;
      }
      const auto runs = zel::ParseNumber<int>(value, 1, 100);
      if (!runs) return false;
      options.runs = *runs;
    } else {
      return false;
    }
  }
  return true;
}

// The runs' median and range of a figure, as "63.1 (61.0-66.2)".
std::string Spread(std::vector<double> values, double scale, int decimals) {
  if (values.empty()) return "-";
  std::sort(values.begin(), values.end());
  const double median = values.size() % 2
                            ? values[values.size() / 2]
                            : (values[values.size() / 2 - 1] + values[values.size() / 2]) / 2;
  char text[96];
  if (values.size() == 1)
    std::snprintf(text, sizeof text, "%.*f", decimals, median * scale);
  else
    std::snprintf(text, sizeof text, "%.*f (%.*f-%.*f)", decimals, median * scale, decimals,
                  values.front() * scale, decimals, values.back() * scale);
  return text;
}

std::vector<double> Pick(const std::vector<RoundTrips>& runs, double RoundTrips::*field) {
  std::vector<double> values;
  for (const auto& run : runs) values.push_back(run.*field);
  return values;
}

std::vector<double> Pick(const std::vector<LineTimes>& runs, double LineTimes::*field,
                         double minus = 0) {
  std::vector<double> values;
  for (const auto& run : runs) values.push_back(run.*field - minus);
  return values;
}

void Row(const std::string& what, const std::string& ours, const std::string& reference) {
  std::printf("%-40s %-28s %s\n", what.c_str(), ours.c_str(), reference.c_str());
}

std::string Machine() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line, model = "unknown CPU";
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) == 0) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  }
  utsname system{};
  uname(&system);
  return std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " + model + ", " +
         system.sysname + " " + system.release;
}

// The 1-minute load average: how busy the shared machine was.
std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string figure;
  file >> figure;
  return figure.empty() ? "?" : figure;
}

// Context switches of the driver over `seconds` of doing nothing.
long IdleWakeUps(PrivateDriver& driver, int seconds) {
  sleep(1);  // what the last answers set going settles first
  const long before = driver.ContextSwitches();
  sleep(static_cast<unsigned>(seconds));
  const long after = driver.ContextSwitches();
  return before < 0 || after < 0 ? -1 : after - before;
}

// A figure that could not be taken is listed in its place and makes the exit status 1.
struct Failures {
  int count = 0;
  void operator()(const std::string& what, const std::string& error) {
    ++count;
    std::printf("%-40s not measured: %s\n", what.c_str(), error.c_str());
  }
};

// On one driver without a port: round trips beside the raw echo servers', taken in turn so that
// all see the same machine load; idle wake-ups before and after; resident size.
void MeasureLink(const Options& options, Failures& failed) {
  std::string error;
  PrivateDriver driver({options.programs.driver, "", "Immediately answer"});
  if (!driver.Start(10000, error)) return failed("the driver", error);
  const long startKb = driver.StatusKb("VmRSS");
  const int idleSeconds = options.quick ? 2 : 5;
  const long wakeUpsAtStart = IdleWakeUps(driver, idleSeconds);

  ChildProcess echo, batchingEcho;
  const std::string echoPath = driver.Directory() + "/raw-echo";
  const std::string batchingPath = driver.Directory() + "/raw-echo-batching";
  if (!echo.Start({options.programs.rawEcho, echoPath}, {}, "-", false, error) ||
      !batchingEcho.Start({options.programs.rawEcho, "--batch", batchingPath}, {}, "-", false,
                          error))
    failed("raw echo", error);
  for (int tries = 0; tries < 1000 && (access(echoPath.c_str(), F_OK) != 0 ||
                                       access(batchingPath.c_str(), F_OK) != 0);
       ++tries)
    usleep(1000);
  std::vector<RoundTrips> ours, raw, batching;
  struct Target {
    std::string what, path;
    std::vector<RoundTrips>& figures;
  };
  const Target targets[] = {{"driver round trips", driver.SocketPath(), ours},
                            {"raw echo round trips", echoPath, raw},
                            {"batching raw echo round trips", batchingPath, batching}};
  for (int run = 0; run < options.runs && !StopRequested(); ++run) {
    for (const Target& target : targets) {
      RoundTrips figures;
      if (MeasureRoundTrips(target.path, options.quick, figures, error))
        target.figures.push_back(figures);
      else
        failed(target.what, error);
    }
  }
  echo.Stop(15, 2000);
  batchingEcho.Stop(15, 2000);
  const long wakeUpsAfterWork = IdleWakeUps(driver, idleSeconds);
  const long peakKb = driver.StatusKb("VmHWM");
  const int status = driver.Close(5000);
  if (status != 0)
    failed("the driver's end", "status " + std::to_string(status) + " after \"Close\"");

  Row("request, median round trip (us)", Spread(Pick(ours, &RoundTrips::requestMedianUs), 1, 1),
      "raw echo " + Spread(Pick(raw, &RoundTrips::requestMedianUs), 1, 1));
  Row("request, 99th percentile (us)", Spread(Pick(ours, &RoundTrips::requestP99Us), 1, 1),
      "raw echo " + Spread(Pick(raw, &RoundTrips::requestP99Us), 1, 1));
  Row("requests pipelined (k/s)", Spread(Pick(ours, &RoundTrips::requestsPerSecond), 1e-3, 0),
      "raw echo " + Spread(Pick(raw, &RoundTrips::requestsPerSecond), 1e-3, 0) + "; batching " +
          Spread(Pick(batching, &RoundTrips::requestsPerSecond), 1e-3, 0));
  Row("execute \"Version\" + request, median (us)",
      Spread(Pick(ours, &RoundTrips::pairMedianUs), 1, 1),
      "raw echo " + Spread(Pick(raw, &RoundTrips::pairMedianUs), 1, 1));
  Row("execute + request pipelined (k pairs/s)",
      Spread(Pick(ours, &RoundTrips::pairsPerSecond), 1e-3, 0),
      "raw echo " + Spread(Pick(raw, &RoundTrips::pairsPerSecond), 1e-3, 0) + "; batching " +
          Spread(Pick(batching, &RoundTrips::pairsPerSecond), 1e-3, 0));
  Row("idle wake-ups in " + std::to_string(idleSeconds) + " s",
      std::to_string(wakeUpsAtStart) + " after start, " + std::to_string(wakeUpsAfterWork) +
          " after the round trips",
      "target 0");
  char resident[96];
  std::snprintf(resident, sizeof resident, "%.1f serving, %.1f peak", startKb / 1024.0,
                peakKb / 1024.0);
  Row("resident size (MB)", resident, "");
  std::fflush(stdout);
}

// On zelsim's line: command times over what the time-outs take, the exchange against pyserial.
void MeasureOnLine(const Options& options, Failures& failed) {
  const int runs = std::max(options.runs, 5);
  std::string error;
  std::vector<LineTimes> line;
  std::vector<double> serial;
  if (!StopRequested() && !MeasureLine(options.programs, runs, line, error))
    failed("commands on zelsim", error);
  if (!StopRequested() && !MeasureSerialExchange(options.programs, runs, serial, error))
    failed("pyserial exchange", error);
  auto over = [](double mandated) {
    char text[64];
    std::snprintf(text, sizeof text, "time-outs %.0f ms; over them: ", mandated);
    return std::string(text);
  };
  Row("\"Send\" on zelsim (ms)", Spread(Pick(line, &LineTimes::sendMs), 1, 1),
      over(MandatedSendMs) + Spread(Pick(line, &LineTimes::sendMs, MandatedSendMs), 1, 1));
  Row("\"Receive\", reply waiting (ms)", Spread(Pick(line, &LineTimes::receiveWaitingMs), 1, 1),
      over(MandatedReceiveWaitingMs) +
          Spread(Pick(line, &LineTimes::receiveWaitingMs, MandatedReceiveWaitingMs), 1, 1));
  Row("\"Receive\", no reply (ms)", Spread(Pick(line, &LineTimes::receiveNothingMs), 1, 1),
      over(MandatedReceiveNothingMs) +
          Spread(Pick(line, &LineTimes::receiveNothingMs, MandatedReceiveNothingMs), 1, 1));
  Row("poke/Send/Receive exchange (ms)", Spread(Pick(line, &LineTimes::exchangeMs), 1, 1),
      "pyserial " + Spread(serial, 1, 1));
  std::fflush(stdout);
}

// Start to the first answer, each time a fresh driver.
void MeasureStarts(const Options& options, Failures& failed) {
  std::vector<double> starts;
  std::string error;
  for (int run = 0; run < std::max(options.runs, 5) && !StopRequested(); ++run) {
    double ms = 0;
    if (MeasureStart(options.programs.driver, ms, error))
      starts.push_back(ms);
    else
      failed("start to first answer", error);
  }
  Row("start to first answer (ms)", Spread(starts, 1, 1), "");
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(Usage, stderr);
    return 2;
  }
  CatchStopSignals();
  std::printf("zelbench: %s; load average %s; %s\n", Machine().c_str(), LoadAverage().c_str(),
              options.programs.driver.c_str());
  Row("", "ZELdrv", "reference");
  Failures failed;
  MeasureLink(options, failed);
  MeasureOnLine(options, failed);
  MeasureStarts(options, failed);
  std::printf("zelbench: load average %s at the end\n", LoadAverage().c_str());
  if (StopRequested()) failed("the rest", "interrupted by a signal");
  return failed.count == 0 ? 0 : 1;
}
