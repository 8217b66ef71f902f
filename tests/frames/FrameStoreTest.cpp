#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "driver/frames/FrameBuilder.h"
#include "driver/frames/FrameStore.h"
#include "tests/frames/FrameTestSupport.h"

namespace {

bool AllZero(const FrameBuffer& buffer) {
  return std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0; });
}

bool AllEqual(const FrameBuffer& buffer, uint8_t value) {
  return std::all_of(buffer.begin(), buffer.end(), [value](uint8_t b) { return b == value; });
}

FrameStore FilledStore() {
  FrameStore store;
  store.SendFrame.fill(0x11);
  store.SendLength = 12;
  store.DumpFrame.fill(0x22);
  store.DumpLength = 7;
  store.ReplyBuffer.fill(0x33);
  store.ReplyLength = 10;
  store.PokedText = "0205 0001 1234AB";
  store.ReplyText = "0000 0205 5A";
  return store;
}

TEST(FrameStore, StartsAllZeroAndEmpty) {
  const FrameStore store;
  EXPECT_TRUE(AllZero(store.SendFrame));
  EXPECT_TRUE(AllZero(store.DumpFrame));
  EXPECT_TRUE(AllZero(store.ReplyBuffer));
  EXPECT_EQ(store.SendLength, 0);
  EXPECT_EQ(store.DumpLength, 0);
  EXPECT_EQ(store.ReplyLength, 0);
  EXPECT_TRUE(store.PokedText.empty());
  EXPECT_TRUE(store.ReplyText.empty());
}

struct ResetCase {
  const char* name;
  std::function<void(FrameStore&)> reset;
  bool clearsSend;
  bool clearsReply;
};

class FrameStoreReset : public ::testing::TestWithParam<ResetCase> {};

TEST_P(FrameStoreReset, ZeroesItsBuffersAndNeverTheDumpImageOrTheTexts) {
  const ResetCase& c = GetParam();
  FrameStore store = FilledStore();
  c.reset(store);

  EXPECT_EQ(AllZero(store.SendFrame), c.clearsSend);
  EXPECT_EQ(store.SendLength, c.clearsSend ? 0 : 12);
  EXPECT_EQ(AllZero(store.ReplyBuffer), c.clearsReply);
  EXPECT_EQ(store.ReplyLength, c.clearsReply ? 0 : 10);
  if (!c.clearsSend) {
    EXPECT_TRUE(AllEqual(store.SendFrame, 0x11));
  }
  if (!c.clearsReply) {
    EXPECT_TRUE(AllEqual(store.ReplyBuffer, 0x33));
  }

  EXPECT_TRUE(AllEqual(store.DumpFrame, 0x22));
  EXPECT_EQ(store.DumpLength, 7);
  EXPECT_EQ(store.PokedText, "0205 0001 1234AB");
  EXPECT_EQ(store.ReplyText, "0000 0205 5A");
}

INSTANTIATE_TEST_SUITE_P(
    Operations, FrameStoreReset,
    ::testing::Values(
        ResetCase{"ResetBuffers", [](FrameStore& s) { s.ResetBuffers(); }, true, true},
        ResetCase{"ResetReply", [](FrameStore& s) { s.ResetReply(); }, false, true},
        ResetCase{"ResetSendFrame", [](FrameStore& s) { s.ResetSendFrame(); }, true, false}),
    CaseName());

// The order in which a poke fills the store.
void Poke(FrameStore& store, const std::string& text) {
  store.PokedText = text;
  store.ResetSendFrame();
  BuildSendFrame(store.PokedText, store.SendFrame, store.SendLength);
  BuildDumpFrame(store.PokedText, store.DumpFrame, store.DumpLength);
}

TEST(FrameStore, ClearAfterAPokeLeavesTheDumpImageReadyToSend) {
  FrameStore store;
  Poke(store, "0205 0001 1234AB");
  store.ResetBuffers();

  EXPECT_EQ(store.SendLength, 0);
  EXPECT_TRUE(AllZero(store.SendFrame));
  ASSERT_EQ(store.DumpLength, 7);
  const FrameBuffer expectedDump = BufferOf("02 05 00 01 12 34 AB");
  EXPECT_EQ(store.DumpFrame, expectedDump);
}

TEST(FrameStore, ShorterPokeLeavesNoOldSendBytesButOldDumpBytesStay) {
  FrameStore store;
  Poke(store, "0205 0001 1234AB");
  Poke(store, "0A0B 0C0D");

  EXPECT_EQ(store.SendLength, 7);
  EXPECT_EQ(store.SendFrame, BufferOf("0B 0A 0D 0C 00 2E 00"));
  // Only the first DumpLength bytes count; the rest is what the earlier poke left.
  EXPECT_EQ(store.DumpLength, 4);
  EXPECT_EQ(store.DumpFrame, BufferOf("0A 0B 0C 0D 12 34 AB"));
}

}  // namespace
