// Runs the operations named on its command line on one Win32SerialPort and prints a line for
// each: "<operation> <PortError> key=value ... | <error text>". test_win32_port.py plays the
// instrument on the pseudo-terminal behind the COM port and reads these lines as they come.
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "common/win32/SystemText.h"
#include "driver/port/DeviceName.h"
#include "driver/port/win32/Win32SerialPort.h"

namespace {

using zel::LineState;
using Clock = std::chrono::steady_clock;

const char* const kErrors[] = {"None",        "NotOpen",      "NoSuchDevice", "AccessDenied",
                               "InUse",       "NotATerminal", "BadArgument",  "Rejected",
                               "Unsupported", "TimedOut",     "DeviceGone",   "Failed"};
const char* const kParities[] = {"N", "O", "E", "M", "S"};  // in the order of zel::Parity
const char* const kStopBits[] = {"1", "1.5", "2"};          // in the order of zel::StopBits
const char* const kLines[] = {"setdtr", "clrdtr", "setrts", "clrrts"};

template <size_t N>
int IndexOf(const char* const (&names)[N], const std::string& name) {
  for (size_t i = 0; i < N; ++i) {
    if (name == names[i]) return static_cast<int>(i);
  }
  return 99;  // no such value: the port must refuse it
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (uint8_t byte : bytes) text += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
  return text;
}

std::vector<uint8_t> Bytes(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

long long MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class Probe {
 public:
  explicit Probe(std::vector<std::string> words) : words_(std::move(words)) {}

  void Run() {
    while (next_ < words_.size()) {
      const std::string op = Word();
      const auto found = operations_.find(op);
      std::string details = found == operations_.end() ? "unknown" : found->second();
      const bool ok = port_.LastError().Ok() && found != operations_.end();
      std::printf("%s %s %s | %s\n", op.c_str(), kErrors[static_cast<int>(port_.LastError().code)],
                  details.c_str(), ok ? "" : port_.LastError().text.c_str());
      std::fflush(stdout);
    }
  }

 private:
  std::string Word() { return next_ < words_.size() ? words_[next_++] : ""; }
  uint32_t Number() { return static_cast<uint32_t>(std::stoul(Word())); }

  std::string Transfer(bool reading, std::vector<uint8_t> bytes) {
    const int32_t count = static_cast<int32_t>(bytes.size());
    if (reading) std::printf("reading\n");
    std::fflush(stdout);
    const Clock::time_point start = Clock::now();
    const int32_t n = reading ? port_.Read(bytes.data(), count) : port_.Write(bytes.data(), count);
    const long long ms = MsSince(start);
    bytes.resize(reading ? static_cast<size_t>(n) : 0);
    return "n=" + std::to_string(n) + " ms=" + std::to_string(ms) + " hex=" + Hex(bytes);
  }

  // 256-byte frames of the stream k % 251 until one falls short or `most` have gone.
  std::string Flood(uint32_t most) {
    std::vector<uint8_t> frame(256);
    std::string last;
    for (uint32_t frames = 0; frames < most; ++frames) {
      for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint8_t>((frames * 256 + i) % 251);
      last = "frames=" + std::to_string(frames) + " " + Transfer(false, frame);
      if (!port_.LastError().Ok()) break;
    }
    return last;
  }

  std::string State() {
    LineState s;
    if (!port_.GetState(s)) return "";
    return "rate=" + std::to_string(s.BaudRate) + " bits=" + std::to_string(s.ByteSize) +
           " parity=" + kParities[static_cast<int>(s.ParityMode)] +
           " stop=" + kStopBits[static_cast<int>(s.StopBitCount)];
  }

  std::string SetState() {
    LineState s;
    s.BaudRate = Number();
    s.ByteSize = static_cast<uint8_t>(Number());
    s.ParityMode = static_cast<zel::Parity>(IndexOf(kParities, Word()));
    s.StopBitCount = static_cast<zel::StopBits>(IndexOf(kStopBits, Word()));
    port_.SetState(s);
    return "";
  }

  std::string SetTimeouts() {
    zel::CommTimeouts t{Number(), Number(), Number(), Number(), Number()};
    port_.SetTimeouts(t);
    return "";
  }

  zel::win32::Win32SerialPort port_;
  std::vector<std::string> words_;
  size_t next_ = 0;
  const std::map<std::string, std::function<std::string()>> operations_{
      {"open", [this] { return port_.Open(Word()), std::string(); }},
      {"close", [this] { return port_.Close(), std::string(); }},
      {"get", [this] { return State(); }},
      {"set", [this] { return SetState(); }},
      {"timeouts", [this] { return SetTimeouts(); }},
      {"escape",
       [this] {
         const auto line = static_cast<zel::ModemLineFunction>(IndexOf(kLines, Word()));
         return port_.EscapeFunction(line), std::string();
       }},
      {"read", [this] { return Transfer(true, std::vector<uint8_t>(Number())); }},
      {"write", [this] { return Transfer(false, Bytes(Word())); }},
      {"flood", [this] { return Flood(Number()); }},
      {"vanished", [this] { return "gone=" + std::to_string(port_.HasVanished()); }},
      {"wait",  // until the test says go on
       [] {
         std::string line;
         std::getline(std::cin, line);
         return std::string();
       }},
      {"map", [this] { return "name=" + zel::PlatformDeviceName(Word()); }},
      {"message", [this] { return zel::win32::SystemErrorText(Number()); }},
  };
};

}  // namespace

int main(int argc, char** argv) {
  Probe(std::vector<std::string>(argv + 1, argv + argc)).Run();
  return 0;
}
