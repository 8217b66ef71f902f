#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/zelsim/SimTestSupport.h"
#include "tools/zelsim/LineSimulator.h"

namespace zel::sim {
namespace {

using test::Bytes;
using test::WorkedDump;
using test::WorkedFrame;
using test::WorkedReply;

SimConfig Station0205() {
  SimConfig config;
  config.stations = {0x0205};
  return config;
}

// Lets the line fall silent after a transmission that ended at `lastMs`.
void SilenceAfter(LineSimulator& line, int64_t lastMs) { line.Tick(lastMs + LineGapMs + 1); }

// The bytes of everything due by nowMs.
using Sent = std::vector<std::vector<uint8_t>>;
Sent DueBy(LineSimulator& line, int64_t nowMs) {
  Sent sent;
  for (const auto& transmission : line.TakeDue(nowMs)) sent.push_back(transmission.bytes);
  return sent;
}

bool LogHas(const std::vector<LogEntry>& log, const std::string& text) {
  for (const LogEntry& entry : log) {
    if (entry.text.find(text) != std::string::npos) return true;
  }
  return false;
}

std::string LogText(const std::vector<LogEntry>& log) {
  std::string text;
  for (const LogEntry& entry : log) text += std::to_string(entry.atMs) + " " + entry.text + "\n";
  return text;
}

TEST(LineSimulator, EchoesAtOnceAndRepliesAfterTheDelay) {
  LineSimulator line(Station0205());
  line.Start(0);
  EXPECT_EQ(line.DriverWrote(1000, Bytes(WorkedFrame)), Bytes(WorkedFrame));
  ASSERT_TRUE(line.NextWakeMs().has_value());
  EXPECT_LE(*line.NextWakeMs(), 1000 + LineGapMs + 1);
  SilenceAfter(line, 1000);
  EXPECT_EQ(line.NextWakeMs(), std::optional<int64_t>(1000 + DefaultReplyDelayMs));
  EXPECT_TRUE(line.TakeDue(1000 + DefaultReplyDelayMs - 1).empty());

  const auto sent = line.TakeDue(1000 + DefaultReplyDelayMs);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bytes, Bytes(WorkedReply));
  EXPECT_EQ(sent[0].what, "reply from 0205");
  EXPECT_FALSE(line.NextWakeMs().has_value());

  const auto log = line.TakeLog();
  EXPECT_TRUE(LogHas(log, "wrote by driver: " + WorkedFrame)) << LogText(log);
  EXPECT_TRUE(LogHas(log, "echo: " + WorkedFrame)) << LogText(log);
  EXPECT_TRUE(LogHas(log, "frame for 0205 from 0001, 3 data bytes: reply in 100 ms"))
      << LogText(log);
  EXPECT_TRUE(LogHas(log, "reply from 0205: " + WorkedReply)) << LogText(log);
}

TEST(LineSimulator, SilentLineGivesNoEchoButStillReplies) {
  SimConfig config = Station0205();
  config.echo = EchoMode::Off;
  LineSimulator line(config);
  EXPECT_TRUE(line.DriverWrote(0, Bytes(WorkedFrame)).empty());
  EXPECT_EQ(DueBy(line, DefaultReplyDelayMs), Sent{Bytes(WorkedReply)});
}

// A collision inverts the first byte of each transmission, even of one that comes in pieces.
TEST(LineSimulator, CollisionSpoilsTheFirstEchoByteAndLosesTheFrame) {
  SimConfig config = Station0205();
  config.echo = EchoMode::Corrupt;
  LineSimulator line(config);
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(line.DriverWrote(attempt * 50, Bytes(WorkedFrame)),
              Bytes("FA 02 01 00 03 0B 00 12 34 AB F1 00"));
    SilenceAfter(line, attempt * 50);
  }
  EXPECT_EQ(line.DriverWrote(200, Bytes("05 02 01")), Bytes("FA 02 01"));
  EXPECT_EQ(line.DriverWrote(202, Bytes("00 03 0B 00 12 34 AB F1 00")),
            Bytes("00 03 0B 00 12 34 AB F1 00"));
  SilenceAfter(line, 202);
  EXPECT_TRUE(line.TakeDue(10000).empty());
  EXPECT_TRUE(LogHas(line.TakeLog(), "lost in the collision, no reply"));
}

TEST(LineSimulator, CollisionOnlyForTheFirstTransmissionsWhenCounted) {
  SimConfig config = Station0205();
  config.echo = EchoMode::Corrupt;
  config.corruptCount = 1;
  LineSimulator line(config);
  EXPECT_NE(line.DriverWrote(0, Bytes(WorkedFrame)), Bytes(WorkedFrame));
  SilenceAfter(line, 0);
  // The driver's second write, after its 25 ms echo read.
  EXPECT_EQ(line.DriverWrote(30, Bytes(WorkedFrame)), Bytes(WorkedFrame));
  EXPECT_EQ(DueBy(line, 30 + DefaultReplyDelayMs), Sent{Bytes(WorkedReply)});
}

TEST(LineSimulator, FrameArrivingInPiecesGetsOneReply) {
  LineSimulator line(Station0205());
  EXPECT_EQ(line.DriverWrote(0, Bytes("05 02 01 00")), Bytes("05 02 01 00"));
  EXPECT_EQ(line.DriverWrote(3, Bytes("03 0B 00 12 34 AB F1 00")),
            Bytes("03 0B 00 12 34 AB F1 00"));
  SilenceAfter(line, 3);
  EXPECT_EQ(DueBy(line, 1000), Sent{Bytes(WorkedReply)});
}

TEST(LineSimulator, CutOffFrameDoesNotSwallowTheNextOne) {
  LineSimulator line(Station0205());
  line.DriverWrote(0, Bytes("05 02 01 00 03 0B 00 12"));
  SilenceAfter(line, 0);
  line.DriverWrote(40, Bytes(WorkedFrame));
  EXPECT_EQ(DueBy(line, 40 + DefaultReplyDelayMs), Sent{Bytes(WorkedReply)});
  EXPECT_TRUE(LogHas(line.TakeLog(), "no frame, no reply: 05 02 01 00 03 0B 00 12"));
}

TEST(LineSimulator, OpeningTheLineEndsACutOffFrame) {
  LineSimulator line(Station0205());
  line.DriverWrote(0, Bytes("05 02 01 00 03"));
  line.LineOpened(1);
  line.DriverWrote(2, Bytes(WorkedFrame));
  EXPECT_EQ(DueBy(line, 2 + DefaultReplyDelayMs), Sent{Bytes(WorkedReply)});
}

TEST(LineSimulator, DumpFrameIsEchoedButGetsNoReply) {
  LineSimulator line(Station0205());
  EXPECT_EQ(line.DriverWrote(0, Bytes(WorkedDump)), Bytes(WorkedDump));
  SilenceAfter(line, 0);
  EXPECT_TRUE(line.TakeDue(10000).empty());
  EXPECT_FALSE(line.NextWakeMs().has_value());
  EXPECT_TRUE(LogHas(line.TakeLog(), "no frame, no reply: " + WorkedDump));
}

TEST(LineSimulator, FrameWithAWrongDataSumIsAnsweredWithACorrectOneAndLogged) {
  LineSimulator line(Station0205());
  line.DriverWrote(0, Bytes("05 02 01 00 03 0B 00 12 34 AB F2 00"));
  EXPECT_EQ(DueBy(line, DefaultReplyDelayMs), Sent{Bytes(WorkedReply)});
  const auto log = line.TakeLog();
  EXPECT_TRUE(LogHas(log, "3 data bytes (data sum wrong): reply in")) << LogText(log);
}

TEST(LineSimulator, FrameForAnotherStationGetsNoReply) {
  LineSimulator line(Station0205());
  line.DriverWrote(0, Bytes("05 03 01 00 03 0C 00 12 34 AB F1 00"));
  EXPECT_TRUE(line.TakeDue(10000).empty());
  EXPECT_TRUE(LogHas(line.TakeLog(), "frame for 0305 from 0001, 3 data bytes: no such station"));
}

TEST(LineSimulator, EachStationAnswersFromItsOwnAddressInTheOrderOfTheFrames) {
  SimConfig config;
  config.stations = {0x0205, 0x0A0B};
  LineSimulator line(config);
  line.DriverWrote(0, Bytes(WorkedFrame + " 0B 0A 01 00 01 17 00 5A 5A 00"));
  const auto sent = line.TakeDue(DefaultReplyDelayMs);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].bytes, Bytes(WorkedReply));
  EXPECT_EQ(sent[1].bytes, Bytes("01 00 0B 0A 01 17 00 5A 5A 00"));
  EXPECT_EQ(sent[1].what, "reply from 0A0B");
}

TEST(LineSimulator, FaultListIsUsedInTurnAndStartsOver) {
  SimConfig config = Station0205();
  config.faults = {Fault::Short, Fault::None, Fault::Trailing};
  LineSimulator line(config);
  const std::vector<std::string> expected = {"01 00 05 02 03 0B 00 12 34", WorkedReply,
                                             WorkedReply + " EE EE", "01 00 05 02 03 0B 00 12 34"};
  for (size_t i = 0; i < expected.size(); ++i) {
    const int64_t at = static_cast<int64_t>(i) * 1000;
    line.DriverWrote(at, Bytes(WorkedFrame));
    SilenceAfter(line, at);
    EXPECT_EQ(DueBy(line, at + DefaultReplyDelayMs), Sent{Bytes(expected[i])}) << "reply " << i;
  }
}

TEST(LineSimulator, SilenceFaultSendsNothingAndSaysSo) {
  SimConfig config = Station0205();
  config.faults = {Fault::Silence};
  LineSimulator line(config);
  line.DriverWrote(0, Bytes(WorkedFrame));
  SilenceAfter(line, 0);
  EXPECT_FALSE(line.NextWakeMs().has_value());
  EXPECT_TRUE(line.TakeDue(10000).empty());
  EXPECT_TRUE(LogHas(line.TakeLog(), "no reply [silence]"));
}

TEST(LineSimulator, FragmentGapCountsFromWhenThePieceReallyWent) {
  SimConfig config = Station0205();
  config.faults = {Fault::Fragments};
  config.fragmentGapMs = 80;
  LineSimulator line(config);
  line.DriverWrote(0, Bytes(WorkedFrame));
  SilenceAfter(line, 0);

  const std::vector<std::string> pieces = {"01", "00 05", "02 03 0B", "00 12 34 AB", "F1 00"};
  int64_t now = DefaultReplyDelayMs + 30;  // a late wake-up
  for (size_t i = 0; i < pieces.size(); ++i) {
    const auto sent = line.TakeDue(now);
    ASSERT_EQ(sent.size(), 1u) << "piece " << i;
    EXPECT_EQ(sent[0].bytes, Bytes(pieces[i]));
    EXPECT_EQ(sent[0].what,
              "reply from 0205 [fragments], piece " + std::to_string(i + 1) + " of 5");
    if (i + 1 < pieces.size()) {
      EXPECT_EQ(line.NextWakeMs(), std::optional<int64_t>(now + 80));
      EXPECT_TRUE(line.TakeDue(now + 79).empty());
      now += 80;
    }
  }
  EXPECT_FALSE(line.NextWakeMs().has_value());
}

TEST(LineSimulator, ReplyOnceFollowsTheFirstOpeningOnly) {
  SimConfig config;
  config.delayMs = 200;
  config.replyOnce = Bytes("00 00 05 02 01 08 00 5A 5A 00");
  LineSimulator line(config);
  line.Start(0);
  EXPECT_FALSE(line.NextWakeMs().has_value());
  line.LineOpened(500);
  EXPECT_TRUE(line.TakeDue(699).empty());
  EXPECT_EQ(DueBy(line, 700), Sent{Bytes("00 00 05 02 01 08 00 5A 5A 00")});
  line.LineOpened(1000);
  EXPECT_TRUE(line.TakeDue(100000).empty());
}

TEST(LineSimulator, ReplyOnceAfterStartNeedsNoOpening) {
  SimConfig config;
  config.delayMs = 50;
  config.replyOnce = Bytes("5A");
  config.onceAfter = OnceAfter::Start;
  LineSimulator line(config);
  line.Start(10);
  const auto sent = line.TakeDue(60);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].bytes, Bytes("5A"));
  EXPECT_EQ(sent[0].what, "reply-once");
  line.LineOpened(100);
  EXPECT_TRUE(line.TakeDue(100000).empty());
}

}  // namespace
}  // namespace zel::sim
