// The line monitor: its text of each read or write (tests/data/monitor/lines.table), and a
// listening client's link session getting every line, in order, however many came between two
// of its requests.

#include <gtest/gtest.h>

#include <fstream>

#include "common/Names.h"
#include "ddelink/LinkSession.h"
#include "driver/front/DriverFront.h"
#include "tests/support/DataText.h"

namespace zel::test {
namespace {

TEST(LineMonitor, TextOfEachReadAndWrite) {
  std::ifstream in(ZEL_TEST_DATA "/monitor/lines.table");
  int rows = 0;
  for (std::string row; std::getline(in, row);) {
    if (Trim(row).empty() || row[0] == '#') continue;
    // The expected line holds a '|' of its own: only the first three separate.
    std::vector<std::string> cells;
    std::size_t at = 0;
    for (int cut = 0; cut < 3; ++cut) {
      const std::size_t bar = row.find('|', at);
      cells.push_back(Trim(row.substr(at, bar - at)));
      at = bar + 1;
    }
    const auto bytes = ParseBytes(cells[2]);
    const auto direction = cells[1] == "W" ? LineDirection::Written : LineDirection::Read;
    EXPECT_EQ(MonitorLineText(std::stoll(cells[0]), direction, bytes.data(),
                              static_cast<int32_t>(bytes.size())),
              Text(Trim(row.substr(at))))
        << row;
    ++rows;
  }
  EXPECT_EQ(rows, 5);
}

class NoClock : public Clock {
 public:
  int64_t NowMs() override { return 0; }
  void SleepMs(int64_t) override {}
};

LinkMessage Ask(LinkSession& session, MessageKind kind, const std::string& text = {},
                const std::string& item = MonitorItem) {
  MessageReader::Event event;
  event.message = MakeMessage(kind, 7, text, item);
  return session.Serve(event);
}

TEST(LineMonitor, EachListenerGetsEveryLineInOrderAndNobodyListeningCostsNothing) {
  BroadcastTopic topic(MonitorTopic, MonitorItem);
  std::vector<bool> listening;
  topic.SetListeningChanged([&](bool on) { listening.push_back(on); });
  int published = 0;
  topic.SetPublished([&] { ++published; });
  ServerItem item(DriverItem);
  struct : ConversationHandler {
    void ExecuteMacro(const std::vector<std::string>&) override {}
    void PokeData() override {}
  } handler;
  ServerConversation conversation(DriverTopic, item, handler);
  NoClock clock;
  LineMonitor monitor(topic, clock);
  const uint8_t bytes[] = {0x05, 0x41};
  {
    LinkSession first(conversation, &topic), second(conversation, &topic);
    EXPECT_EQ(Ask(first, MessageKind::Connect, "zelMONITOR").kind, MessageKind::Ack);
    EXPECT_EQ(Ask(first, MessageKind::Advise).kind, MessageKind::Ack);
    EXPECT_EQ(Ask(first, MessageKind::Poke, "0205").text, "not served on this topic");
    EXPECT_EQ(Ask(first, MessageKind::Connect, DriverTopic).text,
              "the conversation is on another topic");
    EXPECT_EQ(Ask(first, MessageKind::Request, {}, DriverItem).text, "no such item");
    EXPECT_EQ(Ask(second, MessageKind::Connect, MonitorTopic).kind, MessageKind::Ack);
    monitor.LineBytes(LineDirection::Written, bytes, 2);
    EXPECT_EQ(Ask(second, MessageKind::Advise).kind, MessageKind::Ack);
    monitor.LineBytes(LineDirection::Read, bytes, 1);
    monitor.LineBytes(LineDirection::Read, bytes + 1, 1);
    EXPECT_TRUE(first.NoticeFor(MonitorItem));
    EXPECT_FALSE(first.NoticeFor(DriverItem));
    EXPECT_EQ(Ask(first, MessageKind::Request).text,
              "0.000 W 05 41  |.A|\r\n0.000 R 05  |.|\r\n0.000 R 41  |A|\r\n");
    EXPECT_EQ(Ask(first, MessageKind::Request).text, "");
    EXPECT_EQ(Ask(second, MessageKind::Unadvise).kind, MessageKind::Ack);
    EXPECT_EQ(Ask(second, MessageKind::Request).text, "0.000 R 05  |.|\r\n0.000 R 41  |A|\r\n");
    EXPECT_EQ(listening, std::vector<bool>{true});
  }
  // The last listener gone (its session ended) is heard, so the port stops reporting.
  EXPECT_EQ(listening, (std::vector<bool>{true, false}));
  EXPECT_FALSE(topic.HasListeners());
  EXPECT_EQ(published, 3);
}

}  // namespace
}  // namespace zel::test
