// Cost of the link's framing and of one poke's handling in the driver.

#include <benchmark/benchmark.h>

#include "ddelink/LinkWire.h"
#include "driver/front/DriverFront.h"

namespace zel {

namespace {

void ReadSmallMessages(benchmark::State& state) {
  std::string stream;
  for (uint32_t id = 0; id < 1000; ++id) {
    LinkMessage poke;
    poke.kind = MessageKind::Poke;
    poke.id = id;
    poke.item = "ZELDDEItem";
    poke.text = "0205 0001 1234AB";
    stream += EncodeMessage(poke);
  }
  for (auto _ : state) {
    MessageReader reader;
    for (std::size_t at = 0; at < stream.size(); at += 4096)
      reader.Feed(std::string_view(stream).substr(at, 4096));
    while (reader.HasEvent()) benchmark::DoNotOptimize(reader.Next());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(ReadSmallMessages);

void SkipOversizedMessage(benchmark::State& state) {
  LinkMessage poke;
  poke.kind = MessageKind::Poke;
  poke.item = "ZELDDEItem";
  poke.text.assign(2 * MaxMessageSize, '1');
  const std::string stream = EncodeMessage(poke);
  for (auto _ : state) {
    MessageReader reader;
    for (std::size_t at = 0; at < stream.size(); at += 16384)
      reader.Feed(std::string_view(stream).substr(at, 16384));
    benchmark::DoNotOptimize(reader.Next());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(SkipOversizedMessage);

class NoStatus : public StatusSink {
 public:
  void SetStatusText(const std::string&) override {}
};

class NoWindow : public DriverWindow {
 public:
  void Minimize() override {}
  void NormalSize() override {}
  void Hide() override {}
  void Show() override {}
  void Close() override {}
};

void HandlePoke(benchmark::State& state) {
  NoStatus status;
  NoWindow window;
  SteadyClock clock;
  DriverFront front(status, window, clock);
  std::string text = "FFFF FFFF ";
  for (int i = 0; i < 247; ++i) text += "A5";
  for (auto _ : state) {
    front.ZELdriver.Poke(DriverItem, TextFormat, text);
    benchmark::DoNotOptimize(front.Frames.SendLength);
  }
}
BENCHMARK(HandlePoke);

}  // namespace

}  // namespace zel
