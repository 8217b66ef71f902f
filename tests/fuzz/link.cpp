// The link as one connection meets it: a client's byte stream cut into pieces, read under a
// small shared budget, and served by the real driver front over the fake serial line. Input: a
// byte choosing the cuts, one the budget (256 bytes a unit), one the line's echo, then the stream.
// However the stream is cut, the reader finds what it finds in the whole stream at once, save
// that a message beyond the budget (and beyond the uncharged size) is refused; every answer and
// every message encodes and reads back the same; the budget is whole again at the end, also
// after a message that the stream cuts short.
#include <deque>
#include <memory>
#include <tuple>

#include "ddelink/LinkSession.h"
#include "driver/front/DriverFront.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/support/FakeSerialPort.h"

using namespace zel;
using Event = MessageReader::Event;
using Type = MessageReader::EventType;

namespace {

constexpr char TooLarge[] = "message too large";

// The driver's surroundings, none of which takes time: a clock that moves on each look.
struct Surroundings final : StatusSink, DriverWindow, Clock, Notice {
  DriverFront* front = nullptr;
  int64_t now = 0;
  void SetStatusText(const std::string&) override {}
  void ShowNotice(const std::string&) override {}
  void Minimize() override {}
  void NormalSize() override {}
  void Hide() override {}
  void Show() override {}
  void Close() override { front->FormClose(); }  // as the window does without a modal loop
  int64_t NowMs() override { return ++now; }
  void SleepMs(int64_t ms) override { now += ms; }
};

bool Same(const Event& a, const Event& b) {
  const auto fields = [](const Event& e) {
    return std::tie(e.type, e.message.kind, e.message.id, e.message.item, e.message.format,
                    e.message.text, e.reason);
  };
  return fields(a) == fields(b);
}

void ReadsBack(const LinkMessage& message) {
  MessageReader reader;
  reader.Feed(EncodeMessage(message));
  ZEL_FUZZ_CHECK(reader.HasEvent() && Same(reader.Next(), Event{{}, message, {}}));
}

// What a reader fed in pieces under a budget of `room` found, against the whole stream's reader.
void FindsTheSame(const Event& event, MessageReader& whole, uint64_t room) {
  // A refusal comes as soon as the size is in, also of a message the stream cuts short.
  if (!whole.HasEvent() && event.reason == TooLarge) return;
  ZEL_FUZZ_CHECK(whole.HasEvent());
  Event expected = whole.Next();
  if (event.reason == TooLarge && expected.reason != TooLarge) {
    // Only the budget refuses more than the whole stream's reader did.
    ZEL_FUZZ_CHECK(
        expected.type == Type::Rejected ||
        (expected.type == Type::Message && EncodeMessage(expected.message).size() - 4 >
                                               std::max<uint64_t>(room, UnchargedMessageSize)));
    expected = {Type::Rejected, MakeMessage(expected.message.kind, expected.message.id), TooLarge};
  }
  ZEL_FUZZ_CHECK(Same(event, expected));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  uint32_t cuts = data[0];
  const uint64_t room = data[1] * 256u;
  const std::string_view stream = FuzzText(data + 3, size - 3);

  Surroundings around;
  DriverFront front(around, around, around);
  around.front = &front;
  auto line = std::make_shared<test::FakeLine>();
  line->Echo = static_cast<sim::EchoMode>(data[2] % 3);
  front.FormCreate(std::make_unique<TComProperties>(std::make_unique<test::FakeSerialPort>(line),
                                                    "/nonexistent/ZELdrv.ini", around));
  LinkSession session(front.ZELdriver);
  std::deque<LinkMessage> notices;
  front.ZELDDEItem.SetChangeListener([&] {
    if (auto notice = session.NoticeFor(front.ZELDDEItem.Name())) notices.push_back(*notice);
  });

  MessageReader whole;
  whole.Feed(stream);
  MessageBudget budget(room);
  MessageReader reader(&budget);
  for (size_t at = 0; at < stream.size() && !reader.IsBroken();) {
    cuts = cuts * 1103515245u + 12345u;
    const size_t piece = std::min<size_t>((cuts >> 16) % 48, stream.size() - at);
    reader.Feed(stream.substr(at, piece));
    at += piece;
    ZEL_FUZZ_CHECK(budget.Free() <= room);
    while (reader.HasEvent()) {
      const Event event = reader.Next();
      FindsTheSame(event, whole, room);
      if (event.type == Type::Message) ReadsBack(event.message);
      const LinkMessage answer = session.Serve(event);
      ZEL_FUZZ_CHECK(answer.id == (event.type == Type::Broken ? 0 : event.message.id));
      ZEL_FUZZ_CHECK(
          answer.kind == MessageKind::Ack || answer.kind == MessageKind::Nak ||
          (answer.kind == MessageKind::Data && event.message.kind == MessageKind::Request));
      ReadsBack(answer);
      for (; !notices.empty(); notices.pop_front()) ReadsBack(notices.front());
    }
  }
  ZEL_FUZZ_CHECK(!whole.HasEvent());
  reader.Reset();  // gives back what a message cut short holds
  ZEL_FUZZ_CHECK(budget.Free() == room && !reader.HasEvent() && !reader.IsBroken());
  return 0;
}
