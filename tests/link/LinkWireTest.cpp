// The wire format: messages survive any split of the stream, and bad input is contained.

#include <gtest/gtest.h>

#include "ddelink/LinkWire.h"

namespace zel {

namespace {

std::vector<MessageReader::Event> ReadAll(MessageReader& reader) {
  std::vector<MessageReader::Event> events;
  while (reader.HasEvent()) events.push_back(reader.Next());
  return events;
}

std::string U32(uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return bytes;
}

}  // namespace

TEST(LinkWire, EncodesTheDocumentedLayout) {
  EXPECT_EQ(EncodeMessage(MakeMessage(MessageKind::Execute, 0x01020304, "Send")),
            std::string("\x09\0\0\0" "E" "\x04\x03\x02\x01" "Send", 13));
  EXPECT_EQ(EncodeMessage(MakeMessage(MessageKind::Poke, 7, "12\r\n", "ZELDDEItem")),
            std::string("\x19\0\0\0" "P" "\x07\0\0\0" "\x0A\0" "ZELDDEItem" "\x01\0\0\0" "12\r\n",
                        29));
}

TEST(LinkWire, EveryMessageSurvivesAnySplitOfTheStream) {
  std::string binary;
  for (int c = 0; c < 256; ++c) binary.push_back(static_cast<char>(c));
  const std::vector<LinkMessage> sent = {
      MakeMessage(MessageKind::Connect, 1, "ZELdriver"),
      MakeMessage(MessageKind::Poke, 2, binary, "ZELDDEItem"),
      MakeMessage(MessageKind::Request, 3, "", "ZELDDEItem", 9),
      MakeMessage(MessageKind::Data, 3, "sended\r\n"),
      MakeMessage(MessageKind::Notice, 4, "", "ZELDDEItem"),
      MakeMessage(MessageKind::Nak, 0xFFFFFFFF, "no such item"),
      MakeMessage(MessageKind::Ack, 5, ""),
  };
  std::string stream;
  for (const auto& message : sent) stream += EncodeMessage(message);

  for (std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{7}, stream.size()}) {
    MessageReader reader;
    for (std::size_t at = 0; at < stream.size(); at += piece)
      reader.Feed(std::string_view(stream).substr(at, piece));
    const auto events = ReadAll(reader);
    ASSERT_EQ(events.size(), sent.size()) << "piece " << piece;
    for (std::size_t i = 0; i < sent.size(); ++i) {
      SCOPED_TRACE("message " + std::to_string(i) + ", piece " + std::to_string(piece));
      EXPECT_EQ(events[i].type, MessageReader::EventType::Message);
      EXPECT_EQ(events[i].message.kind, sent[i].kind);
      EXPECT_EQ(events[i].message.id, sent[i].id);
      EXPECT_EQ(events[i].message.text, sent[i].text);
      if (CarriesItem(sent[i].kind)) {
        EXPECT_EQ(events[i].message.item, sent[i].item);
        EXPECT_EQ(events[i].message.format, sent[i].format);
      }
    }
  }
}

TEST(LinkWire, OversizedMessageIsRejectedWithItsIdAndTheStreamGoesOn) {
  const std::string huge(MaxMessageSize, 'A');  // with kind, id and item: over the limit
  std::string stream = EncodeMessage(MakeMessage(MessageKind::Poke, 41, huge, "ZELDDEItem")) +
                       EncodeMessage(MakeMessage(MessageKind::Request, 42, "", "ZELDDEItem"));
  MessageReader reader;
  for (std::size_t at = 0; at < stream.size(); at += 4096)
    reader.Feed(std::string_view(stream).substr(at, 4096));
  const auto events = ReadAll(reader);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].type, MessageReader::EventType::Rejected);
  EXPECT_EQ(events[0].message.id, 41u);
  EXPECT_EQ(events[0].reason, "message too large");
  EXPECT_EQ(events[1].type, MessageReader::EventType::Message);
  EXPECT_EQ(events[1].message.id, 42u);
}

TEST(LinkWire, LargestAllowedMessageIsAccepted) {
  const std::string text(MaxMessageSize - 5, 'x');
  MessageReader reader;
  reader.Feed(EncodeMessage(MakeMessage(MessageKind::Execute, 1, text)));
  const auto events = ReadAll(reader);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, MessageReader::EventType::Message);
  EXPECT_EQ(events[0].message.text.size(), text.size());
}

TEST(LinkWire, MalformedMessagesAreRefusedOneByOne) {
  const struct {
    const char* legend;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"unknown kind", U32(5) + "Z" + U32(9), "unknown transaction kind"},
      {"poke without item length", U32(6) + "P" + U32(9) + "x", "item or format missing"},
      {"item longer than the message", U32(5 + 2 + 1) + "P" + U32(9) + std::string("\x05\0", 2) + "Z",
       "item or format missing"},
      {"request without format", U32(5 + 2 + 2) + "R" + U32(9) + std::string("\x02\0", 2) + "AB",
       "item or format missing"},
  };
  for (const auto& c : cases) {
    MessageReader reader;
    reader.Feed(c.bytes + EncodeMessage(MakeMessage(MessageKind::Ack, 10, "")));
    const auto events = ReadAll(reader);
    ASSERT_EQ(events.size(), 2u) << c.legend;
    EXPECT_EQ(events[0].type, MessageReader::EventType::Rejected) << c.legend;
    EXPECT_EQ(events[0].message.id, 9u) << c.legend;
    EXPECT_EQ(events[0].reason, c.reason) << c.legend;
    EXPECT_EQ(events[1].type, MessageReader::EventType::Message) << c.legend;
  }
}

TEST(LinkWire, SizeBelowKindAndIdBreaksTheStreamForGood) {
  for (uint32_t size : {0u, 1u, 4u}) {
    MessageReader reader;
    reader.Feed(U32(size) + std::string(size, 'E') + EncodeMessage(MakeMessage(MessageKind::Ack, 1, "")));
    const auto events = ReadAll(reader);
    ASSERT_EQ(events.size(), 1u) << size;
    EXPECT_EQ(events[0].type, MessageReader::EventType::Broken);
    EXPECT_TRUE(reader.IsBroken());
  }
}

TEST(LinkWire, IncompleteMessageWaitsForTheRest) {
  const std::string bytes = EncodeMessage(MakeMessage(MessageKind::Execute, 3, "Version"));
  MessageReader reader;
  reader.Feed(std::string_view(bytes).substr(0, bytes.size() - 1));
  EXPECT_FALSE(reader.HasEvent());
  reader.Feed(std::string_view(bytes).substr(bytes.size() - 1));
  ASSERT_TRUE(reader.HasEvent());
  EXPECT_EQ(reader.Next().message.text, "Version");
}

}  // namespace zel
