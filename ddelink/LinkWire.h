#pragma once
// The link's wire format: length-delimited messages on a byte stream. docs/link-protocol.md is the
// reference for third parties; this file and that document must agree.
//
//   u32 size (little-endian; bytes that follow, MinMessageSize..MaxMessageSize)
//   u8  kind
//   u32 id   (little-endian; chosen by the client, echoed in the driver's answer)
//   body     (depends on the kind)

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "common/Names.h"

namespace zel {

enum class MessageKind : uint8_t {
  // client -> driver
  Connect = 'C',   // body: topic
  Execute = 'E',   // body: command text
  Poke = 'P',      // body: item, format, text
  Request = 'R',   // body: item, format
  Advise = 'A',    // body: item, format (opens a warm link)
  Unadvise = 'U',  // body: item, format
  // driver -> client
  Ack = 'k',     // body: empty
  Nak = 'n',     // body: reason (text)
  Data = 'd',    // body: text (answer to Request)
  Notice = 'v',  // body: item, format (id = the Advise's id)
};

constexpr uint32_t MinMessageSize = 5;              // kind + id
constexpr uint32_t MaxMessageSize = 1024u * 1024u;  // one message, kind and id included
constexpr uint32_t UnchargedMessageSize = 16u * 1024u;

struct LinkMessage {
  MessageKind kind = MessageKind::Ack;
  uint32_t id = 0;
  std::string item;  // Poke, Request, Advise, Unadvise, Notice
  uint32_t format = TextFormat;
  std::string text;  // Connect (topic), Execute, Poke, Nak, Data
};

LinkMessage MakeMessage(MessageKind kind, uint32_t id, std::string text = {}, std::string item = {},
                        uint32_t format = TextFormat);

// Whether a kind carries "item, format" (u16 item length, item bytes, u32 format) before its text.
bool CarriesItem(MessageKind kind);
bool IsKnownKind(uint8_t kind);

// The whole message, size prefix included. Items longer than 65535 bytes are cut to fit.
std::string EncodeMessage(const LinkMessage& message);

// The room that unfinished incoming messages may take, shared by every connection of a server:
// each connection is bounded by MaxMessageSize, and this bounds their sum. Messages up to
// UnchargedMessageSize, which every real transaction is, never count against it: a client that
// behaves is served however much the others hold.
class MessageBudget {
 public:
  explicit MessageBudget(uint64_t bytes) : free_(bytes) {}
  bool Take(uint64_t bytes) {
    if (bytes > free_) return false;
    free_ -= bytes;
    return true;
  }
  void Give(uint64_t bytes) { free_ += bytes; }
  uint64_t Free() const { return free_; }

 private:
  uint64_t free_;
};

// Reads messages from a byte stream in whatever pieces it arrives, holding at most one message
// (MaxMessageSize) at a time. A message that is too large, or that does not fit the shared budget
// when its size comes in, is not stored: its bytes are skipped, and it comes out as a Rejected
// event carrying its kind and id, so the peer can be told.
class MessageReader {
 public:
  enum class EventType { Message, Rejected, Broken };
  struct Event {
    EventType type = EventType::Message;
    LinkMessage message;  // Message: all of it; Rejected: kind and id only
    std::string reason;   // Rejected, Broken
  };

  // budget: shared with other readers and not owned; none for a reader bounded on its own.
  explicit MessageReader(MessageBudget* budget = nullptr) : budget_(budget) {}
  ~MessageReader() { Release(); }
  MessageReader(const MessageReader&) = delete;
  MessageReader& operator=(const MessageReader&) = delete;

  // Feeds bytes; complete results are queued for Next(). After a Broken event the stream is
  // unusable and further bytes are ignored.
  void Feed(std::string_view bytes);
  bool HasEvent() const { return !events_.empty(); }
  Event Next();
  bool IsBroken() const { return broken_; }
  // Back to the start of a fresh stream, with nothing queued.
  void Reset();

 private:
  void Finish();
  void Reject(std::string reason);
  void Release();

  MessageBudget* budget_;
  uint64_t held_ = 0;  // taken from the budget for the message being assembled
  std::deque<Event> events_;
  std::string pending_;         // bytes of the message being assembled
  uint32_t size_ = 0;           // size of that message, once its prefix is in
  uint64_t skipRemaining_ = 0;  // bytes of an oversized message still to skip
  bool haveSize_ = false;
  bool refused_ = false;  // the message being read is to be skipped
  bool skipping_ = false;
  bool broken_ = false;
};

}  // namespace zel
