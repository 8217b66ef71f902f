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

// Reads messages from a byte stream in whatever pieces it arrives, holding at most one message
// (MaxMessageSize) at a time. An oversized message is not stored: its bytes are skipped, and it
// comes out as a Rejected event carrying its kind and id, so the peer can be told.
class MessageReader {
 public:
  enum class EventType { Message, Rejected, Broken };
  struct Event {
    EventType type = EventType::Message;
    LinkMessage message;  // Message: all of it; Rejected: kind and id only
    std::string reason;   // Rejected, Broken
  };

  // Feeds bytes; complete results are queued for Next(). After a Broken event the stream is
  // unusable and further bytes are ignored.
  void Feed(std::string_view bytes);
  bool HasEvent() const { return !events_.empty(); }
  Event Next();
  bool IsBroken() const { return broken_; }

 private:
  void Finish();
  void Reject(std::string reason);

  std::deque<Event> events_;
  std::string pending_;         // bytes of the message being assembled
  uint32_t size_ = 0;           // size of that message, once its prefix is in
  uint64_t skipRemaining_ = 0;  // bytes of an oversized message still to skip
  bool haveSize_ = false;
  bool skipping_ = false;
  bool broken_ = false;
};

}  // namespace zel
