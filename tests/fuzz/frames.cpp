// Frames built from any poked text: they fit, their sums hold, they decode as a good reply whose
// text builds the very same frame; a dump shown as text builds the same bytes again.
#include <algorithm>
#include <string>

#include "driver/frames/FrameBuilder.h"
#include "driver/frames/ReplyDecoder.h"
#include "driver/frames/ReplyWords.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace zel;

namespace {

constexpr uint8_t Untouched = 0xA5;

// Builds with `build` into a buffer of filler; checks that nothing past the length was written.
template <typename Build>
FrameBuffer Built(Build build, std::string_view text, int32_t& length) {
  FrameBuffer frame;
  frame.fill(Untouched);
  length = -1;
  build(text, frame, length);
  ZEL_FUZZ_CHECK(length >= 0 && length <= FrameCapacity);
  ZEL_FUZZ_CHECK(std::all_of(frame.begin() + length, frame.end(),
                             [](uint8_t byte) { return byte == Untouched; }));
  return frame;
}

bool SameStart(const FrameBuffer& a, const FrameBuffer& b, int32_t length) {
  return std::equal(a.begin(), a.begin() + length, b.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = FuzzText(data, size);
  int32_t length = 0, again = 0;
  std::string shown;

  const FrameBuffer send = Built(BuildSendFrame, text, length);
  const size_t count = send[frame::CountOffset];
  ZEL_FUZZ_CHECK(count <= frame::MaxDataCount && length == int32_t(frame::FrameLength(count)));
  // The decoder's verdict follows the sums alone (the replies target checks that).
  ZEL_FUZZ_CHECK(DecodeReply(send, shown, length) == ReceivedOkWord);
  ZEL_FUZZ_CHECK(SameStart(send, Built(BuildSendFrame, shown, again), length) && again == length);

  const FrameBuffer dump = Built(BuildDumpFrame, text, length);
  ZEL_FUZZ_CHECK(size_t(length) <= size / 2);
  ZEL_FUZZ_CHECK(DecodeDump(dump, shown, length) == "received " + std::to_string(length) + "b");
  if (length > 0) {
    ZEL_FUZZ_CHECK(SameStart(dump, Built(BuildDumpFrame, shown, again), length) && again == length);
  }
  return 0;
}
