// Cost of the line monitor on a 256-byte exchange through the port object: no listener (the
// usual case) against one listening client, whose lines are queued, noticed and requested.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

#include "ddelink/LinkSession.h"
#include "driver/front/LineMonitor.h"
#include "driver/port/ComProperties.h"

namespace zel {

namespace {

// A line that gives back what was written: each exchange is one write and one read.
class LoopbackPort : public SerialPort {
 public:
  bool Open(const std::string&) override { return open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool GetState(LineState&) override { return true; }
  bool SetState(const LineState&) override { return true; }
  bool SetTimeouts(const CommTimeouts&) override { return true; }
  bool EscapeFunction(ModemLineFunction) override { return true; }
  int32_t Read(uint8_t* buffer, int32_t capacity) override {
    const int32_t n = std::min(capacity, held_);
    std::memcpy(buffer, line_, static_cast<std::size_t>(n));
    held_ = 0;
    return n;
  }
  int32_t Write(const uint8_t* bytes, int32_t count) override {
    held_ = std::min<int32_t>(count, sizeof line_);
    std::memcpy(line_, bytes, static_cast<std::size_t>(held_));
    return count;
  }
  const Outcome<PortError>& LastError() const override { return ok_; }

 private:
  bool open_ = false;
  uint8_t line_[256] = {};
  int32_t held_ = 0;
  Outcome<PortError> ok_ = Outcome<PortError>::Success();
};

class SilentNotice : public Notice {
 public:
  void ShowNotice(const std::string&) override {}
};

class NoHandler : public ConversationHandler {
 public:
  void ExecuteMacro(const std::vector<std::string>&) override {}
  void PokeData() override {}
};

// Arg 0: nobody listens; 1: one client listens and requests after every exchange.
void Exchange256Bytes(benchmark::State& state) {
  SilentNotice notice;
  TComProperties port(std::make_unique<LoopbackPort>(), "/nonexistent/zel-bench.ini", notice);
  port.Init();
  SteadyClock clock;
  BroadcastTopic topic(MonitorTopic, MonitorItem);
  LineMonitor monitor(topic, clock);
  topic.SetListeningChanged([&](bool on) { port.SetLineListener(on ? &monitor : nullptr); });
  ServerItem item(DriverItem);
  NoHandler handler;
  ServerConversation conversation(DriverTopic, item, handler);
  LinkSession client(conversation, &topic);
  std::size_t noticeBytes = 0;
  topic.SetPublished([&] {
    if (auto told = client.NoticeFor(MonitorItem)) noticeBytes += EncodeMessage(*told).size();
  });
  const bool listening = state.range(0) != 0;
  MessageReader::Event event;
  auto serve = [&](MessageKind kind, std::string text, std::string name) {
    event.message = MakeMessage(kind, 1, std::move(text), std::move(name));
    return client.Serve(event);
  };
  if (listening) {
    serve(MessageKind::Connect, MonitorTopic, {});
    serve(MessageKind::Advise, {}, MonitorItem);
  }
  uint8_t frame[256], echo[256];
  for (int i = 0; i < 256; ++i) frame[i] = static_cast<uint8_t>(i);
  for (auto _ : state) {
    port.Write(frame, sizeof frame);
    benchmark::DoNotOptimize(port.Read(echo, sizeof echo));
    if (listening) benchmark::DoNotOptimize(serve(MessageKind::Request, {}, MonitorItem));
  }
  benchmark::DoNotOptimize(noticeBytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 512));
}
BENCHMARK(Exchange256Bytes)->Arg(0)->Arg(1);

}  // namespace

}  // namespace zel
