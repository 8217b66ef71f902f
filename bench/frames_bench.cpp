// Frame work done for every poke and every received reply, at the largest frame size.
#include <benchmark/benchmark.h>

#include <string>

#include "driver/frames/FrameBuilder.h"
#include "driver/frames/FrameStore.h"
#include "driver/frames/ReplyDecoder.h"

namespace zel {

namespace {

// Addresses and 247 data pairs with varied digits, as a client would poke them.
std::string FullText() {
  const char* digits = "0123456789ABCDEF";
  std::string text = "0205 0001 ";
  for (int i = 0; i < MaxDataCount; ++i) {
    text += digits[(i * 7) % 16];
    text += digits[i % 16];
  }
  return text;
}

void BM_BuildSendAndDumpFrames(benchmark::State& state) {
  const std::string text = FullText();
  FrameStore store;
  for (auto _ : state) {
    store.ResetSendFrame();
    BuildSendFrame(text, store.SendFrame, store.SendLength);
    BuildDumpFrame(text, store.DumpFrame, store.DumpLength);
    benchmark::DoNotOptimize(store.SendLength);
    benchmark::DoNotOptimize(store.DumpLength);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_BuildSendAndDumpFrames);

void BM_DecodeFullReply(benchmark::State& state) {
  FrameStore store;
  BuildSendFrame(FullText(), store.ReplyBuffer, store.ReplyLength);
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeReply(store.ReplyBuffer, store.ReplyText, store.ReplyLength));
    benchmark::DoNotOptimize(store.ReplyText.data());
    benchmark::ClobberMemory();
  }
  if (store.ReplyText.size() != 10 + 2 * static_cast<size_t>(MaxDataCount)) {
    state.SkipWithError("the full reply did not decode");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(store.ReplyLength));
}
BENCHMARK(BM_DecodeFullReply);

}  // namespace

}  // namespace zel
