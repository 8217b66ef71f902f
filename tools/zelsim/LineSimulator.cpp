#include "tools/zelsim/LineSimulator.h"

#include <algorithm>
#include <utility>

#include "tools/zelsim/Replies.h"

namespace zel::sim {

LineSimulator::LineSimulator(SimConfig config)
    : config_(std::move(config)), corruptLeft_(config_.corruptCount) {}

void LineSimulator::Start(int64_t nowMs) {
  if (config_.replyOnce && config_.onceAfter == OnceAfter::Start) ScheduleReplyOnce(nowMs);
}

void LineSimulator::LineOpened(int64_t nowMs) {
  Log(nowMs, "line opened by the driver (input flushed)");
  if (transmitting_) EndTransmission(nowMs);
  if (config_.replyOnce && config_.onceAfter == OnceAfter::Open && !replyOnceDone_) {
    ScheduleReplyOnce(nowMs);
  }
}

std::vector<uint8_t> LineSimulator::DriverWrote(int64_t nowMs, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return {};
  Log(nowMs, "wrote by driver: " + WireText(bytes));
  const bool startsTransmission = !transmitting_;
  transmitting_ = true;
  lastByteMs_ = nowMs;

  std::vector<uint8_t> echo;
  if (config_.echo == EchoMode::Corrupt && startsTransmission && corruptLeft_ != 0) {
    if (corruptLeft_ > 0) --corruptLeft_;
    transmissionCorrupted_ = true;
    echo = bytes;
    echo[0] = static_cast<uint8_t>(echo[0] ^ 0xFF);
    Log(nowMs, "echo (collision, first byte changed): " + WireText(echo));
  } else if (config_.echo != EchoMode::Off) {
    echo = bytes;
    Log(nowMs, "echo: " + WireText(echo));
  }
  Handle(nowMs, scanner_.Feed(bytes.data(), bytes.size()));
  return echo;
}

void LineSimulator::Tick(int64_t nowMs) {
  if (transmitting_ && nowMs - lastByteMs_ > LineGapMs) EndTransmission(nowMs);
}

std::vector<Transmission> LineSimulator::TakeDue(int64_t nowMs) {
  std::vector<Transmission> due;
  for (;;) {
    auto next = scheduled_.end();
    for (auto it = scheduled_.begin(); it != scheduled_.end(); ++it) {
      if (it->dueMs > nowMs) continue;
      if (next == scheduled_.end() || it->dueMs < next->dueMs ||
          (it->dueMs == next->dueMs && it->order < next->order)) {
        next = it;
      }
    }
    if (next == scheduled_.end()) break;

    Transmission sent;
    sent.what = next->what;
    if (next->pieces.size() > 1) {
      sent.what += ", piece " + std::to_string(next->nextPiece + 1) + " of " +
                   std::to_string(next->pieces.size());
    }
    sent.bytes = std::move(next->pieces[next->nextPiece]);
    Log(nowMs, sent.what + ": " + WireText(sent.bytes));
    due.push_back(std::move(sent));

    ++next->nextPiece;
    if (next->nextPiece < next->pieces.size()) {
      // Counted from when this piece really went out, so a late wake-up never shortens a gap.
      next->dueMs = nowMs + config_.fragmentGapMs;
    } else {
      scheduled_.erase(next);
    }
  }
  return due;
}

std::optional<int64_t> LineSimulator::NextWakeMs() const {
  std::optional<int64_t> wake;
  if (transmitting_) wake = lastByteMs_ + LineGapMs + 1;
  for (const Scheduled& entry : scheduled_) {
    if (!wake || entry.dueMs < *wake) wake = entry.dueMs;
  }
  return wake;
}

std::vector<LogEntry> LineSimulator::TakeLog() { return std::exchange(log_, {}); }

void LineSimulator::Log(int64_t atMs, std::string text) { log_.push_back({atMs, std::move(text)}); }

void LineSimulator::Schedule(int64_t dueMs, std::vector<std::vector<uint8_t>> pieces,
                             std::string what) {
  scheduled_.push_back({dueMs, nextOrder_++, std::move(pieces), 0, std::move(what)});
}

void LineSimulator::EndTransmission(int64_t nowMs) {
  Handle(nowMs, scanner_.Flush());
  transmitting_ = false;
  transmissionCorrupted_ = false;
}

void LineSimulator::Handle(int64_t nowMs, const std::vector<ScanEvent>& events) {
  for (const ScanEvent& event : events) {
    if (event.kind == ScanEvent::Kind::Garbage) {
      Log(nowMs, "no frame, no reply: " + WireText(event.bytes));
    } else {
      Answer(nowMs, event.bytes);
    }
  }
}

void LineSimulator::Answer(int64_t nowMs, const std::vector<uint8_t>& frame) {
  const uint16_t addressee = AddresseeOf(frame);
  const std::string station = StationText(addressee);
  const size_t count = DataCountOf(frame);
  std::string line = "frame for " + station + " from " + StationText(SenderOf(frame)) + ", " +
                     std::to_string(count) + " data byte" + (count == 1 ? "" : "s");
  // Answered all the same: the data come back with a sum of their own, and the log tells.
  if (count > 0 && !DataSumMatches(frame)) line += " (data sum wrong)";
  line += ": ";
  if (!IsStation(addressee)) {
    Log(nowMs, line + "no such station, no reply");
    return;
  }
  if (transmissionCorrupted_) {
    Log(nowMs, line + "lost in the collision, no reply");
    return;
  }
  const Fault fault = NextFault();
  const FaultedReply reply = ApplyFault(fault, BuildReply(frame, addressee));
  std::string what = "reply from " + station;
  if (fault != Fault::None) what += std::string(" [") + FaultName(fault) + "]";
  if (reply.pieces.empty()) {
    Log(nowMs, line + "no reply [" + FaultName(fault) + "]");
    return;
  }
  line += "reply in " + std::to_string(config_.delayMs) + " ms";
  if (fault != Fault::None) line += std::string(" [") + FaultName(fault) + "]";
  if (!reply.note.empty()) line += " (fault not applied: " + reply.note + ")";
  Log(nowMs, line);
  Schedule(nowMs + config_.delayMs, reply.pieces, what);
}

bool LineSimulator::IsStation(uint16_t address) const {
  return std::find(config_.stations.begin(), config_.stations.end(), address) !=
         config_.stations.end();
}

Fault LineSimulator::NextFault() {
  if (config_.faults.empty()) return Fault::None;
  const Fault fault = config_.faults[nextFault_];
  nextFault_ = (nextFault_ + 1) % config_.faults.size();
  return fault;
}

void LineSimulator::ScheduleReplyOnce(int64_t nowMs) {
  replyOnceDone_ = true;
  Log(nowMs, "reply-once in " + std::to_string(config_.delayMs) + " ms");
  Schedule(nowMs + config_.delayMs, {*config_.replyOnce}, "reply-once");
}

}  // namespace zel::sim
