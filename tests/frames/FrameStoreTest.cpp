// The frame store's resets; how a poke fills it shows in the poke handler's tests.
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/frames/FrameStore.h"

namespace zel {

namespace {

bool AllEqual(const FrameBuffer& buffer, uint8_t value) {
  return std::all_of(buffer.begin(), buffer.end(), [value](uint8_t b) { return b == value; });
}

TEST(FrameStore, StartsAllZeroAndEmpty) {
  const FrameStore store;
  EXPECT_TRUE(AllEqual(store.SendFrame, 0));
  EXPECT_TRUE(AllEqual(store.DumpFrame, 0));
  EXPECT_TRUE(AllEqual(store.ReplyBuffer, 0));
  EXPECT_EQ(store.SendLength, 0);
  EXPECT_EQ(store.DumpLength, 0);
  EXPECT_EQ(store.ReplyLength, 0);
  EXPECT_TRUE(store.PokedText.empty());
  EXPECT_TRUE(store.ReplyText.empty());
}

TEST(FrameStore, ResetsZeroTheirBuffersAndNeverTheDumpImageOrTheTexts) {
  const struct {
    const char* name;
    void (FrameStore::*reset)();
    bool clearsSend, clearsReply;
  } cases[] = {{"ResetBuffers", &FrameStore::ResetBuffers, true, true},
               {"ResetReply", &FrameStore::ResetReply, false, true},
               {"ResetSendFrame", &FrameStore::ResetSendFrame, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FrameStore store;
    store.SendFrame.fill(0x11);
    store.SendLength = 12;
    store.DumpFrame.fill(0x22);
    store.DumpLength = 7;
    store.ReplyBuffer.fill(0x33);
    store.ReplyLength = 10;
    store.PokedText = "0205 0001 1234AB";
    store.ReplyText = "0000 0205 5A";

    (store.*c.reset)();

    EXPECT_TRUE(AllEqual(store.SendFrame, c.clearsSend ? 0 : 0x11));
    EXPECT_EQ(store.SendLength, c.clearsSend ? 0 : 12);
    EXPECT_TRUE(AllEqual(store.ReplyBuffer, c.clearsReply ? 0 : 0x33));
    EXPECT_EQ(store.ReplyLength, c.clearsReply ? 0 : 10);
    EXPECT_TRUE(AllEqual(store.DumpFrame, 0x22));
    EXPECT_EQ(store.DumpLength, 7);
    EXPECT_EQ(store.PokedText, "0205 0001 1234AB");
    EXPECT_EQ(store.ReplyText, "0000 0205 5A");
  }
}

}  // namespace

}  // namespace zel
