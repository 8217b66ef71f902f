// What a poke and an execute do to the driver's item, status and frames, through the conversation
// that the link calls.

#include <gtest/gtest.h>

#include "ddelink/LinkWire.h"
#include "driver/front/DriverFront.h"
#include "tests/support/FrontFakes.h"

namespace zel {

namespace {

class DriverFrontTest : public testing::Test {
 protected:
  DriverFrontTest() {
    front.ZELDDEItem.SetChangeListener([this] { ++notices; });
  }

  std::string Request() {
    std::string answer;
    EXPECT_EQ(front.ZELdriver.Request("ZELDDEItem", TextFormat, answer), TransactionResult::Done);
    return answer;
  }

  TransactionResult Poke(const std::string& text) {
    return front.ZELdriver.Poke("ZELDDEItem", TextFormat, text);
  }

  std::vector<uint8_t> Bytes(const FrameBuffer& frame, int32_t length) {
    return std::vector<uint8_t>(frame.begin(), frame.begin() + length);
  }

  RecordingStatus status;
  RecordingWindow window;
  FakeClock clock;
  DriverFront front{status, window, clock};
  int notices = 0;
};

}  // namespace

TEST_F(DriverFrontTest, RequestBeforeAnyPokeAnswersTheEmptyText) {
  EXPECT_EQ(Request(), "");
  EXPECT_TRUE(front.ZELDDEItem.Lines().empty());
}

TEST_F(DriverFrontTest, PokeLoadsBothFramesSaysDataLoadedAndEmptiesTheItem) {
  ASSERT_EQ(Poke("0205 0001 1234AB"), TransactionResult::Done);
  EXPECT_EQ(front.Frames.PokedText, "0205 0001 1234AB");
  EXPECT_EQ(Bytes(front.Frames.SendFrame, front.Frames.SendLength),
            (std::vector<uint8_t>{0x05, 0x02, 0x01, 0x00, 0x03, 0x0B, 0x00, 0x12, 0x34, 0xAB, 0xF1, 0x00}));
  EXPECT_EQ(Bytes(front.Frames.DumpFrame, front.Frames.DumpLength),
            (std::vector<uint8_t>{0x02, 0x05, 0x00, 0x01, 0x12, 0x34, 0xAB}));
  EXPECT_EQ(status.texts, std::vector<std::string>{"data loaded"});
  EXPECT_EQ(Request(), "\r\n");
  // Once when the poke set the lines, once when the handler emptied the item.
  EXPECT_EQ(notices, 2);
}

TEST_F(DriverFrontTest, PokeOfSeveralLinesLoadsTheFirstAndDropsTheRest) {
  using namespace std::string_literals;
  Poke("0205 0001 12\r\n0000 0000 FF\nmore");
  EXPECT_EQ(front.Frames.PokedText, "0205 0001 12");
  Poke("0205 0001 12\0" "34\r\n"s);  // the text ends at its first NUL
  EXPECT_EQ(front.Frames.PokedText, "0205 0001 12");
  EXPECT_EQ(front.Frames.SendLength, 10);
  EXPECT_EQ(front.ZELDDEItem.Lines(), std::vector<std::string>{""});
}

TEST_F(DriverFrontTest, EmptyPokeLoadsTheBareSevenByteFrame) {
  Poke("0205 0001 1234AB");
  Poke("");
  EXPECT_EQ(front.Frames.SendLength, 7);
  EXPECT_EQ(Bytes(front.Frames.SendFrame, 7), std::vector<uint8_t>(7, 0));
  EXPECT_EQ(front.Frames.DumpLength, 0);
  EXPECT_EQ(Request(), "\r\n");
}

TEST_F(DriverFrontTest, SecondPokeReplacesTheFramesAndLeavesStaleDumpBytesUnsent) {
  Poke("0205 0001 1234AB");
  Poke("0102 0304 55");
  EXPECT_EQ(Bytes(front.Frames.SendFrame, front.Frames.SendLength),
            (std::vector<uint8_t>{0x02, 0x01, 0x04, 0x03, 0x01, 0x0B, 0x00, 0x55, 0x55, 0x00}));
  EXPECT_EQ(front.Frames.DumpLength, 5);
  // Beyond the new length the first poke's image remains; it is never part of the frame.
  EXPECT_EQ(front.Frames.DumpFrame[5], 0x34);
  // The whole send frame was cleared before it was rebuilt.
  EXPECT_EQ(front.Frames.SendFrame[10], 0);
  EXPECT_EQ(front.Frames.SendFrame[11], 0);
}

TEST_F(DriverFrontTest, PokeLeavesTheReplyBufferAlone) {
  front.Frames.ReplyBuffer[0] = 0x5A;
  front.Frames.ReplyLength = 1;
  Poke("0205 0001 12");
  EXPECT_EQ(front.Frames.ReplyLength, 1);
  EXPECT_EQ(front.Frames.ReplyBuffer[0], 0x5A);
}

TEST_F(DriverFrontTest, PokeOrRequestOfAnotherItemOrFormatIsRefusedUnhandled) {
  EXPECT_EQ(front.ZELdriver.Poke("zelddeitem", TextFormat, "12"), TransactionResult::UnknownItem);
  EXPECT_EQ(front.ZELdriver.Poke("ZELDDEItem", 2, "12"), TransactionResult::NotText);
  std::string answer = "untouched";
  EXPECT_EQ(front.ZELdriver.Request("ZELDDEItem ", TextFormat, answer),
            TransactionResult::UnknownItem);
  EXPECT_EQ(answer, "untouched");
  EXPECT_TRUE(status.texts.empty());
  EXPECT_EQ(notices, 0);
  EXPECT_TRUE(front.Frames.PokedText.empty());
}

}  // namespace zel
