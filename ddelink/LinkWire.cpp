#include "ddelink/LinkWire.h"

#include <algorithm>

namespace zel {

namespace {

void PutU32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutU16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

uint32_t GetU32(std::string_view bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

uint16_t GetU16(std::string_view bytes, std::size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                               (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

}  // namespace

LinkMessage MakeMessage(MessageKind kind, uint32_t id, std::string text, std::string item,
                        uint32_t format) {
  LinkMessage message;
  message.kind = kind;
  message.id = id;
  message.text = std::move(text);
  message.item = std::move(item);
  message.format = format;
  return message;
}

bool CarriesItem(MessageKind kind) {
  switch (kind) {
    case MessageKind::Poke:
    case MessageKind::Request:
    case MessageKind::Advise:
    case MessageKind::Unadvise:
    case MessageKind::Notice:
      return true;
    default:
      return false;
  }
}

bool IsKnownKind(uint8_t kind) {
  switch (static_cast<MessageKind>(kind)) {
    case MessageKind::Connect:
    case MessageKind::Execute:
    case MessageKind::Poke:
    case MessageKind::Request:
    case MessageKind::Advise:
    case MessageKind::Unadvise:
    case MessageKind::Ack:
    case MessageKind::Nak:
    case MessageKind::Data:
    case MessageKind::Notice:
      return true;
  }
  return false;
}

std::string EncodeMessage(const LinkMessage& message) {
  std::string body;
  body.push_back(static_cast<char>(message.kind));
  PutU32(body, message.id);
  if (CarriesItem(message.kind)) {
    const std::size_t itemSize = std::min<std::size_t>(message.item.size(), 0xFFFF);
    PutU16(body, static_cast<uint16_t>(itemSize));
    body.append(message.item, 0, itemSize);
    PutU32(body, message.format);
  }
  body += message.text;
  std::string out;
  out.reserve(body.size() + 4);
  PutU32(out, static_cast<uint32_t>(body.size()));
  return out + body;
}

void MessageReader::Feed(std::string_view bytes) {
  while (!bytes.empty() && !broken_) {
    if (skipping_) {
      const auto n = static_cast<std::size_t>(std::min<uint64_t>(skipRemaining_, bytes.size()));
      skipRemaining_ -= n;
      bytes.remove_prefix(n);
      if (skipRemaining_ == 0) skipping_ = false;
      continue;
    }
    const std::size_t wanted = haveSize_ ? (refused_ ? MinMessageSize : size_) : 4;
    const std::size_t n = std::min(wanted - pending_.size(), bytes.size());
    pending_.append(bytes.substr(0, n));
    bytes.remove_prefix(n);
    if (pending_.size() < wanted) break;

    if (!haveSize_) {
      size_ = GetU32(pending_, 0);
      pending_.clear();
      haveSize_ = true;
      if (size_ < MinMessageSize) {
        broken_ = true;
        Event broken;
        broken.type = EventType::Broken;
        broken.reason = "message shorter than its kind and id";
        events_.push_back(std::move(broken));
        continue;
      }
      const bool charged = budget_ != nullptr && size_ > UnchargedMessageSize;
      refused_ = size_ > MaxMessageSize || (charged && !budget_->Take(size_));
      if (refused_) continue;
      if (charged) held_ = size_;
      pending_.reserve(size_);  // room for exactly what was charged
      continue;
    }
    if (refused_) {
      Reject("message too large");
      continue;
    }
    Finish();
  }
}

void MessageReader::Reject(std::string reason) {
  Event event{EventType::Rejected, {}, std::move(reason)};
  event.message.kind = static_cast<MessageKind>(pending_[0]);
  event.message.id = GetU32(pending_, 1);
  events_.push_back(std::move(event));
  skipRemaining_ = size_ - static_cast<uint64_t>(pending_.size());
  skipping_ = skipRemaining_ > 0;
  Release();
}

void MessageReader::Release() {
  if (budget_ != nullptr) budget_->Give(held_);
  held_ = 0;
  // A large message's room goes back too, not just its count.
  if (pending_.capacity() > 4096) std::string().swap(pending_);
  pending_.clear();
  haveSize_ = false;
  refused_ = false;
}

void MessageReader::Reset() {
  Release();
  events_.clear();
  skipRemaining_ = 0;
  skipping_ = false;
  broken_ = false;
}

void MessageReader::Finish() {
  const std::string_view bytes = pending_;
  const auto kind = static_cast<uint8_t>(bytes[0]);
  if (!IsKnownKind(kind)) {
    Reject("unknown transaction kind");
    return;
  }
  Event event;
  event.message.kind = static_cast<MessageKind>(kind);
  event.message.id = GetU32(bytes, 1);
  std::size_t at = 5;
  if (CarriesItem(event.message.kind)) {
    const bool headerFits =
        bytes.size() >= at + 2 && bytes.size() >= at + 2 + GetU16(bytes, at) + 4;
    if (!headerFits) {
      Reject("item or format missing");
      return;
    }
    const uint16_t itemSize = GetU16(bytes, at);
    event.message.item.assign(bytes.substr(at + 2, itemSize));
    at += 2 + itemSize;
    event.message.format = GetU32(bytes, at);
    at += 4;
  }
  event.message.text.assign(bytes.substr(at));
  events_.push_back(std::move(event));
  Release();
}

MessageReader::Event MessageReader::Next() {
  Event event = std::move(events_.front());
  events_.pop_front();
  return event;
}

}  // namespace zel
