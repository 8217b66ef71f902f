#include "driver/front/DriverFront.h"

#include "driver/frames/FrameBuilder.h"
#include "driver/frames/ReplyDecoder.h"
#include "driver/front/DriverWords.h"

namespace zel {

namespace {

constexpr int MaxEchoWrites = 3;
constexpr int64_t ClosePauseMs = 100;

}  // namespace

DriverFront::DriverFront(StatusSink& status, DriverWindow& window, Clock& clock)
    : status_(status), window_(window), clock_(clock), monitor_(ZELmonitor, clock) {
  ZELmonitor.SetListeningChanged([this](bool listened) {
    if (port_) port_->SetLineListener(listened ? &monitor_ : nullptr);
  });
  commands_ = {
      {SendCommand, [this] { SendWithEchoCheck(Frames.SendFrame, Frames.SendLength); }},
      {EasySendCommand, [this] { EasySend(Frames.SendFrame, Frames.SendLength); }},
      {SendDumpCommand, [this] { SendWithEchoCheck(Frames.DumpFrame, Frames.DumpLength); }},
      {EasySendDumpCommand, [this] { EasySend(Frames.DumpFrame, Frames.DumpLength); }},
      {ReceiveCommand, [this] { Receive(); }},
      {ReceiveDumpCommand, [this] { ReceiveDump(); }},
      {SetDtrCommand, [this] { LineCommand(&TComProperties::setDTR); }},
      {MoveDtrCommand, [this] { LineCommand(&TComProperties::dropDTR); }},
      {SetRtsCommand, [this] { LineCommand(&TComProperties::setRTS); }},
      {MoveRtsCommand, [this] { LineCommand(&TComProperties::dropRTS); }},
      {ClearCommand, [this] { Clear(); }},
      {MinimizeCommand, [this] { window_.Minimize(); }},
      {NormalSizeCommand, [this] { window_.NormalSize(); }},
      {HideCommand, [this] { window_.Hide(); }},
      {ShowCommand, [this] { window_.Show(); }},
      {VersionCommand, [this] { Version(); }},
      {PortStateCommand, [this] { PortState(); }},
      {CloseCommand, [this] { Close(); }},
  };
}

DriverFront::~DriverFront() = default;

void DriverFront::FormCreate(std::unique_ptr<TComProperties> comProperties) {
  port_ = std::move(comProperties);
  port_->SetLineListener(ZELmonitor.HasListeners() ? &monitor_ : nullptr);
  port_->Init();
  Frames.ResetBuffers();
}

void DriverFront::FormClose() {
  ZELdriver.StopHandling();
  port_.reset();
}

void DriverFront::ZELDDEItemPokeData() {
  Frames.PokedText = ZELDDEItem.Text();
  Frames.ResetSendFrame();
  early_ = EarlyReply();
  BuildSendFrame(Frames.PokedText, Frames.SendFrame, Frames.SendLength);
  BuildDumpFrame(Frames.PokedText, Frames.DumpFrame, Frames.DumpLength);
  status_.SetStatusText(DataLoadedWord);
  ZELDDEItem.SetText("");
}

void DriverFront::ZELdriverExecuteMacro(const std::vector<std::string>& lines) {
  // Without a port object (before the window's creation, after its close) there is nothing to
  // command.
  if (lines.empty() || !port_) return;
  // The whole first line names the command, byte for byte.
  const auto command = commands_.find(lines.front());
  if (command == commands_.end()) return;
  port_->ReopenIfVanished(clock_.NowMs());
  command->second();
}

void DriverFront::SendWithEchoCheck(const FrameBuffer& frame, int32_t length) {
  status_.SetStatusText("");
  port_->SetNullTimeouts();
  early_ = EarlyReply();
  ReadReply(*port_, Frames);  // drains stale input, unexamined
  // Write again only while something came back and it differed from the frame.
  bool wentOut = false;
  for (int writes = 1;; ++writes) {
    wentOut |= port_->Write(frame.data(), length) == length;
    ReadReply(*port_, Frames);
    if (EchoMatches(frame, Frames.ReplyBuffer, length) || Frames.ReplyLength == 0 ||
        writes >= MaxEchoWrites)
      break;
  }
  if (!EchoMatches(frame, Frames.ReplyBuffer, length) && Frames.ReplyLength > 0)
    status_.SetStatusText(BusyWord);
  // An instrument may answer before the echo read ends; its reply is the next Receive's.
  KeepAfterEcho(Frames, frame, length, early_);
  port_->SetDefaultTimeouts();
  Frames.ResetReply();
  // A frame that never left because the device vanished must not be reported as sent.
  ZELDDEItem.SetText(!wentOut && port_->HasVanished() ? ErrorWord : SendedWord);
}

void DriverFront::EasySend(const FrameBuffer& frame, int32_t length) {
  status_.SetStatusText("");
  const int32_t written = port_->Write(frame.data(), length);
  early_ = EarlyReply();
  Frames.ResetReply();
  ZELDDEItem.SetText(written == 0 ? ErrorWord : SendedWord);
}

void DriverFront::Receive() {
  ZELDDEItem.SetText("");
  status_.SetStatusText("");
  // Reads of 1 to 6 bytes are fragments and are read again, but only for as long as a whole
  // read may take under the latency setting: a line that keeps chattering cannot hold the
  // driver, and the answer is then the one for no reply.
  const int64_t started = clock_.NowMs();
  const int64_t patience = port_->DefaultReadTotalTimeoutMs();
  for (;;) {
    Frames.ResetReply();
    if (!TakeEarlyReply(*port_, Frames, early_)) ReadReply(*port_, Frames);
    const bool fragment = Frames.ReplyLength >= 1 && Frames.ReplyLength <= 6;
    if (!fragment) break;
    if (clock_.NowMs() - started >= patience) {
      Frames.ResetReply();
      break;
    }
  }
  status_.SetStatusText(DecodeReply(Frames.ReplyBuffer, Frames.ReplyText, Frames.ReplyLength));
  ZELDDEItem.SetText(Frames.ReplyText);
  Frames.ReplyText.clear();
}

void DriverFront::ReceiveDump() {
  ZELDDEItem.SetText("");
  status_.SetStatusText("");
  Frames.ResetReply();
  if (!TakeEarlyReply(*port_, Frames, early_)) ReadReply(*port_, Frames);
  status_.SetStatusText(DecodeDump(Frames.ReplyBuffer, Frames.ReplyText, Frames.ReplyLength));
  ZELDDEItem.SetText(Frames.ReplyText);
  Frames.ReplyText.clear();
}

void DriverFront::LineCommand(bool (TComProperties::*operation)()) {
  ZELDDEItem.SetText(((*port_).*operation)() ? OkWord : ErrorWord);
}

void DriverFront::Clear() {
  Frames.ResetBuffers();
  early_ = EarlyReply();
  status_.SetStatusText("");
}

void DriverFront::Version() { ShowStatusAndItem(ReleaseNumber); }

void DriverFront::PortState() { ShowStatusAndItem(port_->IsPortConfigured ? OkWord : FailWord); }

void DriverFront::ShowStatusAndItem(const std::string& word) {
  status_.SetStatusText(word);
  ZELDDEItem.SetText(word);
}

void DriverFront::Close() {
  ZELDDEItem.SetText(OkWord);
  clock_.SleepMs(ClosePauseMs);  // nothing is served meanwhile
  window_.Close();
}

}  // namespace zel
