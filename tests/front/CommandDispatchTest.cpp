// Every command word run through the execute handler against a scripted serial line: what goes on
// the wire, what the item and the status line say afterwards.

#include <gtest/gtest.h>

#include "ddelink/LinkWire.h"
#include "driver/front/DriverFront.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/FrontFakes.h"

namespace zel {

using zel::ModemLineFunction;
using zel::test::EchoMode;
using zel::test::FakeCallKind;
using zel::test::FakeLine;
using Bytes = std::vector<uint8_t>;

namespace {

const Bytes WorkedSendFrame = {0x05, 0x02, 0x01, 0x00, 0x03, 0x0B, 0x00, 0x12, 0x34, 0xAB, 0xF1, 0x00};
const Bytes WorkedDumpFrame = {0x02, 0x05, 0x00, 0x01, 0x12, 0x34, 0xAB};
const Bytes WorkedReply = {0x00, 0x00, 0x05, 0x02, 0x01, 0x08, 0x00, 0x5A, 0x5A, 0x00};

// A driver front whose port object sits on a scripted line; the configuration file is missing, so
// the defaults apply: COM1 at 75 baud, "Immediately answer".
class DriverOnFakeLine : public testing::Test {
 protected:
  void CreatePort(bool openFails) {
    auto fake = zel::test::MakeFakePort();
    line = fake.line;
    line->OpenFails = openFails;
    front.FormCreate(std::move(fake.port), settings);
    front.ZELDDEItem.SetChangeListener([this] { itemTexts.push_back(front.ZELDDEItem.Text()); });
    line->Calls.clear();
  }

  void Poke(const std::string& text) { front.ZELdriver.Poke("ZELDDEItem", TextFormat, text); }
  void Execute(const std::string& text) { front.ZELdriver.Execute(text); }
  std::string Item() const { return front.ZELDDEItem.Text(); }

  std::vector<Bytes> Writes() const {
    std::vector<Bytes> writes;
    for (const auto& call : line->CallsOf(FakeCallKind::Write)) writes.push_back(call.bytes);
    return writes;
  }

  RecordingStatus status;
  RecordingWindow window;
  FakeClock clock;
  RecordingNotice notice;
  PortSettingsCarrier settings{"/nonexistent-zel-directory/", notice};
  DriverFront front{status, window, clock};
  std::shared_ptr<FakeLine> line;
  std::vector<std::string> itemTexts;
};

class CommandDispatchTest : public DriverOnFakeLine {
 protected:
  void SetUp() override {
    CreatePort(false);
    ASSERT_TRUE(front.ComProperties()->IsPortConfigured);
  }
};

class CommandDispatchWithoutPort : public DriverOnFakeLine {
 protected:
  void SetUp() override {
    CreatePort(true);
    ASSERT_LT(front.ComProperties()->PortHandle, 0);
  }
};

}  // namespace

TEST_F(CommandDispatchTest, WordsMatchOnlyWholeAndCaseSensitive) {
  Poke("0205 0001 1234AB");
  front.ZELDDEItem.SetText("kept");
  const auto statusBefore = status.texts.size();
  for (const char* text : {"send", "SEND", " Send", "Send ", "Foo\r\nSend", "", "\r\n", "Sen"})
    Execute(text);
  EXPECT_TRUE(line->Calls.empty());
  EXPECT_EQ(Item(), "kept");
  EXPECT_EQ(status.texts.size(), statusBefore);
  EXPECT_EQ(front.Frames.SendLength, 12);

  Execute("Send\r\nignored further lines");
  EXPECT_EQ(Writes(), std::vector<Bytes>{WorkedSendFrame});
}

TEST_F(CommandDispatchTest, SendOnAFaithfulLineWritesOnceBetweenTheTwoTimeoutRegimes) {
  line->Echo = EchoMode::Faithful;
  Poke("0205 0001 1234AB");
  Execute("Send");
  EXPECT_EQ(Writes(), std::vector<Bytes>{WorkedSendFrame});
  EXPECT_EQ(line->CallKinds(),
            (std::vector<FakeCallKind>{FakeCallKind::SetTimeouts, FakeCallKind::Read,
                                       FakeCallKind::Write, FakeCallKind::Read,
                                       FakeCallKind::SetTimeouts}));
  const auto timeouts = line->CallsOf(FakeCallKind::SetTimeouts);
  EXPECT_EQ(timeouts[0].timeouts.ReadTotalTimeoutMultiplier, 0u);  // null regime
  EXPECT_EQ(timeouts[0].timeouts.ReadTotalTimeoutConstant, 25u);
  EXPECT_EQ(timeouts[1].timeouts.ReadIntervalTimeout, 50u);  // default regime again
  EXPECT_EQ(Item(), "sended");
  EXPECT_EQ(status.Last(), "");
  EXPECT_EQ(front.Frames.ReplyLength, 0);
  EXPECT_EQ(front.Frames.ReplyBuffer, FrameBuffer{});
}

TEST_F(CommandDispatchTest, SendDrainsStaleInputBeforeWriting) {
  line->Echo = EchoMode::Faithful;
  line->QueueRead({0x99, 0x98});
  Poke("0205 0001 1234AB");
  Execute("Send");
  const auto reads = line->CallsOf(FakeCallKind::Read);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0].bytes, (Bytes{0x99, 0x98}));
  EXPECT_EQ(Writes().size(), 1u) << "the stale bytes were taken for the echo";
  EXPECT_EQ(status.Last(), "");
}

TEST_F(CommandDispatchTest, ClearEmptiesTheSendFrameButNotTheDumpImage) {
  line->Echo = EchoMode::Faithful;
  Poke("0205 0001 1234AB");
  Execute("Clear");
  EXPECT_EQ(status.Last(), "");
  Execute("Send");
  EXPECT_EQ(Writes(), std::vector<Bytes>{Bytes{}});  // nothing to write, and no retry
  EXPECT_EQ(Item(), "sended");
  line->Calls.clear();
  Execute("SendDump");
  EXPECT_EQ(Writes(), std::vector<Bytes>{WorkedDumpFrame});
  Execute("EasySend");
  EXPECT_EQ(Item(), "error");
}

TEST_F(CommandDispatchTest, EasySendWritesOnceWithoutReadingOrSwitchingTimeouts) {
  Poke("0205 0001 1234AB");
  Execute("EasySend");
  EXPECT_EQ(line->CallKinds(), std::vector<FakeCallKind>{FakeCallKind::Write});
  EXPECT_EQ(Writes(), std::vector<Bytes>{WorkedSendFrame});
  EXPECT_EQ(Item(), "sended");

  line->Calls.clear();
  Execute("EasySendDump");
  EXPECT_EQ(Writes(), std::vector<Bytes>{WorkedDumpFrame});
  EXPECT_EQ(Item(), "sended");

  line->WriteResult = 0;
  Execute("EasySend");
  EXPECT_EQ(Item(), "error");
}

TEST_F(CommandDispatchTest, ReceiveDecodesAReplyAndEmptiesTheItemFirst) {
  line->QueueRead(WorkedReply);
  Execute("Receive");
  EXPECT_EQ(Item(), "0000 0205 5A");
  EXPECT_EQ(status.Last(), "received OK");
  EXPECT_EQ(itemTexts, (std::vector<std::string>{"", "0000 0205 5A"}));
  EXPECT_EQ(line->CallsOf(FakeCallKind::Read).size(), 1u);
  EXPECT_EQ(front.Frames.ReplyLength, 10);
  EXPECT_TRUE(front.Frames.ReplyText.empty());
}

TEST_F(CommandDispatchTest, ReceiveOutcomesForTheReplyCases) {
  Bytes badSum = WorkedReply;
  badSum[7] = 0x5B;
  const struct {
    const char* legend;
    std::vector<Bytes> reads;
    const char* item;
    const char* status;
  } cases[] = {
      {"silence", {}, "00", "no answer"},
      {"seven zero bytes", {Bytes(7, 0)}, "0000 0000 ", "received OK"},
      {"bad data sum", {badSum}, "0000", "CRC error"},
      {"four bytes then silence", {Bytes{1, 2, 3, 4}}, "00", "no answer"},
      {"fragments, then the frame", {Bytes{1}, Bytes{2, 3}, WorkedReply}, "0000 0205 5A", "received OK"},
      {"trailing bytes", {Bytes{0x00, 0x00, 0x05, 0x02, 0x01, 0x08, 0x00, 0x5A, 0x5A, 0x00, 0xEE, 0xEE}},
       "0000 0205 5A", "received OK"},
  };
  for (const auto& c : cases) {
    for (const auto& read : c.reads) line->QueueRead(read);
    Execute("Receive");
    EXPECT_EQ(Item(), c.item) << c.legend;
    EXPECT_EQ(status.Last(), c.status) << c.legend;
    line->ReadChunks.clear();
  }
}

TEST_F(CommandDispatchTest, ReceiveGivesUpOnEndlessFragmentsOnceAWholeReadsTimeHasPassed) {
  // The fake line takes no time itself: let every look at the clock find 10 ms more.
  clock.stepPerLook = 10;
  for (int i = 0; i < 1000; ++i) line->QueueRead({0x01, 0x02, 0x03});
  Execute("Receive");
  EXPECT_EQ(Item(), "00");
  EXPECT_EQ(status.Last(), "no answer");
  EXPECT_EQ(front.Frames.ReplyLength, 0);
  // "Immediately answer": 25 ms in all, so the third fragment is the last one read.
  EXPECT_EQ(line->CallsOf(FakeCallKind::Read).size(), 3u);
}

TEST_F(CommandDispatchTest, ReceiveDumpReadsOnceAndShowsEveryByte) {
  line->QueueRead(WorkedReply);
  line->QueueRead(WorkedReply);
  Execute("ReceiveDump");
  EXPECT_EQ(Item(), "00 00 05 02 01 08 00 5A 5A 00 ");
  EXPECT_EQ(status.Last(), "received 10b");
  EXPECT_EQ(line->CallsOf(FakeCallKind::Read).size(), 1u);
  line->ReadChunks.clear();
  Execute("ReceiveDump");
  EXPECT_EQ(Item(), "--");
  EXPECT_EQ(status.Last(), "received 0b");
  EXPECT_EQ(itemTexts, (std::vector<std::string>{"", "00 00 05 02 01 08 00 5A 5A 00 ", "", "--"}));
}

TEST_F(CommandDispatchTest, LineCommandsAnswerOkOrErrorAndLeaveTheStatusAlone) {
  const struct {
    const char* word;
    ModemLineFunction function;
  } commands[] = {{"setDTR", ModemLineFunction::SetDTR},
                  {"moveDTR", ModemLineFunction::ClearDTR},
                  {"setRTS", ModemLineFunction::SetRTS},
                  {"moveRTS", ModemLineFunction::ClearRTS}};
  for (const auto& command : commands) {
    line->Calls.clear();
    line->FailingFunctions.clear();
    Execute(command.word);
    EXPECT_EQ(Item(), "OK") << command.word;
    const auto escapes = line->CallsOf(FakeCallKind::EscapeFunction);
    ASSERT_EQ(escapes.size(), 1u);
    EXPECT_EQ(escapes[0].function, command.function) << command.word;
    line->FailingFunctions.insert(command.function);
    Execute(command.word);
    EXPECT_EQ(Item(), "error") << command.word;
  }
  EXPECT_TRUE(status.texts.empty());
}

TEST_F(CommandDispatchTest, VersionAndPortStateShowTheSameWordInBothPlaces) {
  Execute("Version");
  EXPECT_EQ(Item(), "2.32");
  EXPECT_EQ(status.Last(), "2.32");
  front.ComProperties()->SetIsPortConfigured(false);
  Execute("PortState");
  EXPECT_EQ(Item(), "Fail");
  EXPECT_EQ(status.Last(), "Fail");
}

TEST_F(CommandDispatchTest, WindowCommandsGoToTheWindowAndLeaveTheItem) {
  front.ZELDDEItem.SetText("kept");
  for (const char* word : {"Minimize", "NormalSize", "Hide", "Show"}) Execute(word);
  EXPECT_EQ(window.calls, (std::vector<std::string>{"Minimize", "NormalSize", "Hide", "Show"}));
  EXPECT_EQ(Item(), "kept");
  EXPECT_TRUE(line->Calls.empty());
}

TEST_F(CommandDispatchTest, CloseAnswersOkPausesAndClosesTheWindow) {
  Execute("Close");
  EXPECT_EQ(Item(), "OK");
  EXPECT_EQ(clock.slept, std::vector<int64_t>{100});
  EXPECT_EQ(window.calls, std::vector<std::string>{"Close"});
}

TEST_F(CommandDispatchTest, NothingTouchesThePortOnceTheWindowHasClosed) {
  Execute("Close");
  front.FormClose();
  EXPECT_EQ(front.ComProperties(), nullptr);
  EXPECT_FALSE(line->IsOpen);
  line->Calls.clear();
  for (const char* word : {"Send", "Receive", "setDTR", "Version", "PortState", "Close"}) Execute(word);
  EXPECT_EQ(front.ZELdriver.Poke("ZELDDEItem", TextFormat, "0205 0001 12"),
            TransactionResult::Closing);
  EXPECT_TRUE(line->Calls.empty());
  std::string answer;
  front.ZELdriver.Request("ZELDDEItem", TextFormat, answer);
  EXPECT_EQ(answer, "OK\r\n");
}

TEST_F(CommandDispatchWithoutPort, EveryCommandStillEndsWithItsFailureOutcome) {
  Poke("0205 0001 1234AB");

  const struct {
    const char* word;
    const char* item;
    const char* status;
  } cases[] = {{"Send", "sended", ""},          {"SendDump", "sended", ""},
               {"EasySend", "error", ""},       {"EasySendDump", "error", ""},
               {"Receive", "00", "no answer"},  {"ReceiveDump", "--", "received 0b"},
               {"setDTR", "error", ""},         {"moveRTS", "error", ""},
               {"PortState", "Fail", "Fail"}};
  for (const auto& c : cases) {
    status.texts.clear();
    Execute(c.word);
    EXPECT_EQ(Item(), c.item) << c.word;
    EXPECT_EQ(status.Last(), c.status) << c.word;
  }
  EXPECT_TRUE(notice.texts.empty());
}

}  // namespace zel
