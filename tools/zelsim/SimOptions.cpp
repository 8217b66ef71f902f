#include "tools/zelsim/SimOptions.h"

#include <algorithm>
#include <limits>

#include "common/ParseNumber.h"
#include "driver/frames/HexText.h"

namespace zel::sim {

const char* const ZelsimUsage =
    "usage: zelsim [OPTION ...]\n"
    "\n"
    "Simulates the instruments' shared serial line on a pseudo-terminal. The first\n"
    "line on standard output is the device path to give the driver as its port\n"
    "(PortNumber); nothing else goes there. Events go to standard error, one line\n"
    "each, bytes in hex. SIGINT, SIGTERM or SIGHUP end zelsim with status 0.\n"
    "\n"
    "  --station ADDR     answer frames for ADDR: four hex digits, instrument first\n"
    "                     (0205 = instrument 2, node 5; on the wire 05 02).\n"
    "                     Repeatable. The reply goes to the frame's sender, from\n"
    "                     ADDR, carrying the frame's data bytes back.\n"
    "  --delay MS         time from the end of a frame to its reply, and before\n"
    "                     --reply-once (default 100). A reply sooner than the\n"
    "                     driver's 25 ms echo read comes in with the echo and is\n"
    "                     kept for the next Receive; on a line without echo it\n"
    "                     is taken for the echo.\n"
    "  --echo MODE        on       every byte written comes back at once, as on a\n"
    "                              two-wire line (default)\n"
    "                     off      nothing comes back\n"
    "                     corrupt  a collision: the first byte of each transmission\n"
    "                              comes back changed (XOR FF); its frames get no\n"
    "                              reply, so the driver tries again and shows Busy\n"
    "                     corrupt:N  the same for the first N transmissions, then on\n"
    "  --fault LIST       spoil replies. LIST: fault names separated by commas; the\n"
    "                     option may be repeated. The names are used in turn, one\n"
    "                     per reply, starting over after the last, so a single name\n"
    "                     spoils every reply.\n"
    "                     none            a correct reply\n"
    "                     bad-header-sum  low byte of the header sum one too high\n"
    "                     bad-data-sum    low byte of the data sum one too high\n"
    "                     short           last data byte and data sum missing (no\n"
    "                                     data: last header byte missing)\n"
    "                     trailing        two extra bytes EE EE after the data sum\n"
    "                     fragments       pieces of 1, 2, 3, 4, 5, 6, 1 ... bytes\n"
    "                     silence         no reply\n"
    "                     count-over-247  count byte F8 with a matching header sum;\n"
    "                                     data and data sum as they were\n"
    "  --fragment-gap MS  pause between fragments (default 80: more than the\n"
    "                     driver's 50 ms between bytes, so each is a read of its own)\n"
    "  --reply-once HEX   send these bytes once, unasked, --delay MS after the\n"
    "                     driver opens the line. HEX: uppercase digit pairs, blanks\n"
    "                     allowed between pairs (\"00 00 05 02 01 08 00 5A 5A 00\")\n"
    "  --once-after WHEN  open   count that delay from the driver opening the line,\n"
    "                            seen as the input flush it makes then (default)\n"
    "                     start  count it from zelsim's start\n"
    "  --link PATH        also make PATH a symlink to the device (an old symlink\n"
    "                     there is replaced, nothing else); removed at exit\n"
    "  --log FILE         also write the event lines to FILE (replaced)\n"
    "  --help             show this text\n"
    "\n"
    "Frames are taken by their header: 7 bytes whose last two hold the sum of the\n"
    "first five, then the count's data bytes and 2 sum bytes when the count is not\n"
    "0. Bytes that start no such header (a dump frame, noise) get no reply. A pause\n"
    "of more than 10 ms ends a transmission.\n"
    "\n"
    "Exit status: 0 ended by a signal; 1 the line could not be set up or failed;\n"
    "2 usage error.\n";

namespace {

bool TakesValue(const std::string& option) {
  static const char* const Options[] = {"--station",    "--delay",        "--echo",
                                        "--fault",      "--fragment-gap", "--reply-once",
                                        "--once-after", "--link",         "--log"};
  for (const char* known : Options) {
    if (option == known) return true;
  }
  return false;
}

constexpr int LongestDelayMs = 3600 * 1000;
constexpr int MostCorruptTransmissions = 1000000;

// Hex as zelsim reads it: digits 0-9 and A-F, uppercase only, filling the type.
template <typename T>
std::optional<T> ParseUppercaseHex(const std::string& text) {
  if (text.find_first_of("abcdef") != std::string::npos) return std::nullopt;
  return ParseNumber<T>(text, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), 16);
}

bool ParseEcho(const std::string& text, SimConfig& config) {
  for (const EchoMode mode : {EchoMode::On, EchoMode::Off, EchoMode::Corrupt}) {
    if (text == EchoModeName(mode)) {
      config.echo = mode;
      config.corruptCount = -1;
      return true;
    }
  }
  const std::string counted = std::string(EchoModeName(EchoMode::Corrupt)) + ":";
  if (text.rfind(counted, 0) != 0) return false;
  const auto count = ParseNumber<int>(text.substr(counted.size()), 1, MostCorruptTransmissions);
  if (!count) return false;
  config.echo = EchoMode::Corrupt;
  config.corruptCount = *count;
  return true;
}

bool ParseFaults(const std::string& text, std::vector<Fault>& faults, std::string& error) {
  size_t from = 0;
  for (;;) {
    const size_t comma = text.find(',', from);
    const std::string name = text.substr(from, comma == std::string::npos ? comma : comma - from);
    const auto fault = FaultFromName(name);
    if (!fault) {
      error = "unknown fault \"" + name + "\" (see --help for the names)";
      return false;
    }
    faults.push_back(*fault);
    if (comma == std::string::npos) return true;
    from = comma + 1;
  }
}

}  // namespace

std::optional<uint16_t> ParseStation(const std::string& text) {
  if (text.size() != 4) return std::nullopt;
  return ParseUppercaseHex<uint16_t>(text);
}

std::optional<std::vector<uint8_t>> ParseHexBytes(const std::string& text, std::string& error) {
  std::vector<uint8_t> bytes;
  size_t at = 0;
  for (;;) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at == text.size()) break;
    if (at + 1 >= text.size() || IsBlank(text[at + 1])) {
      error = "\"" + text + "\": digits must come in pairs";
      return std::nullopt;
    }
    const std::string pair = text.substr(at, 2);
    const auto byte = ParseUppercaseHex<uint8_t>(pair);
    if (!byte) {
      error = "\"" + text + "\": \"" + pair + "\" is no pair of hex digits (0-9, A-F, uppercase)";
      return std::nullopt;
    }
    bytes.push_back(*byte);
    at += 2;
  }
  if (bytes.empty()) {
    error = "no bytes in \"" + text + "\"";
    return std::nullopt;
  }
  return bytes;
}

std::optional<SimOptions> ParseSimOptions(const std::vector<std::string>& arguments,
                                          std::string& error) {
  SimOptions options;
  for (size_t at = 0; at < arguments.size(); ++at) {
    std::string word = arguments[at];
    if (word == "--help" || word == "-h") {
      options.help = true;
      return options;
    }
    if (word.rfind("--", 0) != 0) {
      error = "unexpected argument \"" + word + "\"";
      return std::nullopt;
    }
    std::string text;
    const size_t equals = word.find('=');
    if (equals != std::string::npos) {
      text = word.substr(equals + 1);
      word.resize(equals);
    }
    if (!TakesValue(word)) {
      error = "unknown option " + word;
      return std::nullopt;
    }
    if (equals == std::string::npos) {
      if (at + 1 >= arguments.size()) {
        error = word + " needs a value";
        return std::nullopt;
      }
      text = arguments[++at];
    }

    SimConfig& config = options.config;
    if (word == "--station") {
      const auto station = ParseStation(text);
      if (!station) {
        error = "--station needs four hex digits (0-9, A-F), instrument first, e.g. 0205; not \"" +
                text + "\"";
        return std::nullopt;
      }
      if (std::find(config.stations.begin(), config.stations.end(), *station) ==
          config.stations.end()) {
        config.stations.push_back(*station);
      }
    } else if (word == "--delay" || word == "--fragment-gap") {
      const int shortest = word == "--delay" ? 0 : 1;
      const auto ms = ParseNumber<int>(text, shortest, LongestDelayMs);
      if (!ms) {
        error = word + " needs a number of milliseconds (" + std::to_string(shortest) + " to " +
                std::to_string(LongestDelayMs) + "), not \"" + text + "\"";
        return std::nullopt;
      }
      (word == "--delay" ? config.delayMs : config.fragmentGapMs) = *ms;
    } else if (word == "--echo") {
      if (!ParseEcho(text, config)) {
        error = "--echo needs on, off, corrupt or corrupt:N (N at least 1), not \"" + text + "\"";
        return std::nullopt;
      }
    } else if (word == "--fault") {
      if (!ParseFaults(text, config.faults, error)) return std::nullopt;
    } else if (word == "--reply-once") {
      std::string why;
      auto bytes = ParseHexBytes(text, why);
      if (!bytes) {
        error = "--reply-once: " + why;
        return std::nullopt;
      }
      config.replyOnce = std::move(bytes);
    } else if (word == "--once-after") {
      if (text == "open") {
        config.onceAfter = OnceAfter::Open;
      } else if (text == "start") {
        config.onceAfter = OnceAfter::Start;
      } else {
        error = "--once-after needs open or start, not \"" + text + "\"";
        return std::nullopt;
      }
    } else if (word == "--link" || word == "--log") {
      if (text.empty()) {
        error = word + " needs a path";
        return std::nullopt;
      }
      (word == "--link" ? options.linkPath : options.logPath) = text;
    }
  }
  return options;
}

std::string DescribeOptions(const SimOptions& options, const std::string& device) {
  const SimConfig& config = options.config;
  std::string text = "line " + device;
  if (!options.linkPath.empty()) text += " (link " + options.linkPath + ")";
  text += ", stations";
  if (config.stations.empty()) text += " none";
  for (uint16_t station : config.stations) text += " " + StationText(station);
  text += ", delay " + std::to_string(config.delayMs) + " ms, echo " + EchoModeName(config.echo);
  if (config.echo == EchoMode::Corrupt && config.corruptCount >= 0) {
    text += ":" + std::to_string(config.corruptCount);
  }
  text += ", faults";
  if (config.faults.empty()) text += " none";
  for (size_t i = 0; i < config.faults.size(); ++i) {
    text += (i == 0 ? " " : ",") + std::string(FaultName(config.faults[i]));
  }
  if (config.replyOnce) {
    text += ", reply-once " + WireText(*config.replyOnce) + " after " +
            (config.onceAfter == OnceAfter::Open ? "open" : "start");
  }
  return text;
}

}  // namespace zel::sim
