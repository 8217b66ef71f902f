// The wire format: the documented bytes, any split of the stream, and bad input contained.

#include <gtest/gtest.h>

#include "ddelink/LinkWire.h"
#include "tests/support/ByteText.h"

namespace zel {

namespace {

std::string U32(uint32_t n) { return {char(n), char(n >> 8), char(n >> 16), char(n >> 24)}; }

// What a reader makes of the stream fed in pieces of `piece` bytes, one line an event.
std::vector<std::string> Events(const std::string& stream, size_t piece = 4096) {
  MessageReader reader;
  std::vector<std::string> events;
  for (size_t at = 0; at < stream.size(); at += piece) {
    reader.Feed(std::string_view(stream).substr(at, piece));
    while (reader.HasEvent()) {
      const auto event = reader.Next();
      const LinkMessage& m = event.message;
      const std::string item =
          CarriesItem(m.kind) ? m.item + " " + std::to_string(m.format) + " " : "";
      events.push_back(event.type == MessageReader::EventType::Message
                           ? std::string(1, char(m.kind)) + " " + std::to_string(m.id) + " " +
                                 item + m.text
                           : std::to_string(m.id) + " refused: " + event.reason);
    }
  }
  return events;
}

}  // namespace

// The example of docs/link-protocol.md, then every other kind with text of every byte.
TEST(LinkWire, DocumentedBytesAndEveryKindSurviveAnySplitOfTheStream) {
  const std::vector<std::uint8_t> example = ParseBytes(
      "0e 00 00 00 43 01 00 00 00 5a 45 4c 64 72 69 76 65 72   05 00 00 00 6b 01 00 00 00 "
      "25 00 00 00 50 02 00 00 00 0a 00 5a 45 4c 44 44 45 49 74 65 6d 01 00 00 00 "
      "30 32 30 35 20 30 30 30 31 20 31 32 33 34 41 42   05 00 00 00 6b 02 00 00 00 "
      "15 00 00 00 52 03 00 00 00 0a 00 5a 45 4c 44 44 45 49 74 65 6d 01 00 00 00 "
      "07 00 00 00 64 03 00 00 00 0d 0a");
  std::string binary, encoded;
  for (int c = 0; c < 256; ++c) binary.push_back(char(c));
  for (const auto& message :
       {MakeMessage(MessageKind::Connect, 1, "ZELdriver"), MakeMessage(MessageKind::Ack, 1),
        MakeMessage(MessageKind::Poke, 2, "0205 0001 1234AB", "ZELDDEItem"),
        MakeMessage(MessageKind::Ack, 2), MakeMessage(MessageKind::Request, 3, "", "ZELDDEItem"),
        MakeMessage(MessageKind::Data, 3, "\r\n"),
        MakeMessage(MessageKind::Execute, 0x01020304, binary),
        MakeMessage(MessageKind::Advise, 4, "", "X", 9),
        MakeMessage(MessageKind::Unadvise, 5, "", "X"),
        MakeMessage(MessageKind::Notice, 6, "", "Y"),
        MakeMessage(MessageKind::Nak, 0xFFFFFFFF, binary)})
    encoded += EncodeMessage(message);
  ASSERT_EQ(encoded.substr(0, example.size()), std::string(example.begin(), example.end()));
  for (size_t piece : {size_t{1}, size_t{3}, size_t{7}})
    EXPECT_EQ(Events(encoded, piece), Events(encoded));
  EXPECT_EQ(Events(encoded).size(), 11u);
  EXPECT_EQ(Events(encoded)[2], "P 2 ZELDDEItem 1 0205 0001 1234AB");
  EXPECT_EQ(Events(encoded)[6], "E 16909060 " + binary);
}

TEST(LinkWire, BadInputIsRefusedWithItsIdAndOnlyBrokenFramingEndsTheStream) {
  const std::string next = EncodeMessage(MakeMessage(MessageKind::Ack, 10)),
                    largest(MaxMessageSize - 5, 'x');
  const struct {
    std::string bytes;
    std::vector<std::string> events;
  } cases[] = {
      {EncodeMessage(MakeMessage(MessageKind::Poke, 41, std::string(MaxMessageSize, 'A'), "I")) +
           next,
       {"41 refused: message too large", "k 10 "}},
      {EncodeMessage(MakeMessage(MessageKind::Execute, 1, largest)) + next,
       {"E 1 " + largest, "k 10 "}},
      {U32(5) + "Z" + U32(9) + next, {"9 refused: unknown transaction kind", "k 10 "}},
      {U32(6) + "P" + U32(9) + "x" + next, {"9 refused: item or format missing", "k 10 "}},
      {U32(8) + "P" + U32(9) + U32(5).substr(0, 2) + "Z" + next,
       {"9 refused: item or format missing", "k 10 "}},
      {U32(9) + "R" + U32(9) + U32(2).substr(0, 2) + "AB" + next,
       {"9 refused: item or format missing", "k 10 "}},
      {U32(0) + next, {"0 refused: message shorter than its kind and id"}},
      {U32(4) + "EEEE" + next, {"0 refused: message shorter than its kind and id"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Events(c.bytes), c.events) << c.events.front().substr(0, 50);
}

}  // namespace zel
