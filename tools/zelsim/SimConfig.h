#pragma once
// What the simulated line and its instruments do, as chosen on zelsim's command line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zel::sim {

// How the line returns what the driver transmits. The test fakes of the line use it too.
enum class EchoMode {
  On,       // every byte comes back unchanged, as on a two-wire line
  Off,      // nothing comes back
  Corrupt,  // a collision: the first byte of a transmission comes back changed
};

// What goes wrong with a reply.
enum class Fault {
  None,
  BadHeaderSum,
  BadDataSum,
  Short,
  Trailing,
  Fragments,
  Silence,
  CountOver247,
};

// What the delay of --reply-once counts from.
enum class OnceAfter {
  Open,   // the driver opening the line (seen as the input flush every opening does)
  Start,  // zelsim's own start
};

// Like a typical instrument, answer well after the driver's 25 ms echo read (a sooner reply is
// kept for the next "Receive" too), and before any "Receive" with a latency of 0.25 s or more
// gives up.
constexpr int DefaultReplyDelayMs = 100;

// Above the driver's 50 ms limit between two bytes of one read, so each fragment is a read of
// its own, with room for a late wake-up.
constexpr int DefaultFragmentGapMs = 80;

// A pause this long ends a transmission: what is left of it cannot become a frame any more.
constexpr int LineGapMs = 10;

struct SimConfig {
  std::vector<uint16_t> stations;  // instrument number in the high byte, node in the low byte
  int delayMs = DefaultReplyDelayMs;
  EchoMode echo = EchoMode::On;
  int corruptCount = -1;      // with EchoMode::Corrupt: how many transmissions; -1 = all of them
  std::vector<Fault> faults;  // one per reply, in turn, starting over after the last; empty = none
  int fragmentGapMs = DefaultFragmentGapMs;
  std::optional<std::vector<uint8_t>> replyOnce;
  OnceAfter onceAfter = OnceAfter::Open;
};

// The command-line name of an echo mode: "on", "off", "corrupt".
const char* EchoModeName(EchoMode mode);

// The command-line name of a fault ("bad-header-sum", ...); nothing for an unknown name.
const char* FaultName(Fault fault);
std::optional<Fault> FaultFromName(const std::string& name);

// Four uppercase digits, instrument number first: 0x0205 -> "0205".
std::string StationText(uint16_t station);

// Bytes as they are logged and compared: "05 02 0B", uppercase, one space between bytes.
std::string WireText(const std::vector<uint8_t>& bytes);

}  // namespace zel::sim
