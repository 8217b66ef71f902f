#include "ddelink/LinkSession.h"

namespace zel {

namespace {

LinkMessage Refusal(uint32_t id, std::string reason) {
  return MakeMessage(MessageKind::Nak, id, std::move(reason));
}

}  // namespace

LinkMessage LinkSession::Serve(const MessageReader::Event& event) {
  switch (event.type) {
    case MessageReader::EventType::Message:
      return Transact(event.message);
    case MessageReader::EventType::Rejected:
      return Refusal(event.message.id, event.reason);
    case MessageReader::EventType::Broken:
      break;
  }
  return Refusal(0, event.reason);
}

std::optional<LinkMessage> LinkSession::NoticeFor(const std::string& item) const {
  const auto link = advises_.find(item);
  if (link == advises_.end()) return std::nullopt;
  return MakeMessage(MessageKind::Notice, link->second, {}, item);
}

LinkMessage LinkSession::Transact(const LinkMessage& message) {
  if (message.kind == MessageKind::Connect) {
    if (!conversation_.AcceptsTopic(message.text)) return Refusal(message.id, "no such topic");
    conversing_ = true;
    return MakeMessage(MessageKind::Ack, message.id);
  }
  if (!conversing_) return Refusal(message.id, "no conversation: connect to a topic first");
  TransactionResult result = TransactionResult::Done;
  switch (message.kind) {
    case MessageKind::Execute:
      conversation_.Execute(message.text);
      break;
    case MessageKind::Poke:
      result = conversation_.Poke(message.item, message.format, message.text);
      break;
    case MessageKind::Request: {
      std::string answer;
      result = conversation_.Request(message.item, message.format, answer);
      if (result == TransactionResult::Done)
        return MakeMessage(MessageKind::Data, message.id, std::move(answer));
      break;
    }
    case MessageKind::Advise:
      result = conversation_.CheckItem(message.item, message.format);
      if (result == TransactionResult::Done) advises_[message.item] = message.id;
      break;
    case MessageKind::Unadvise:
      result = conversation_.CheckItem(message.item, message.format);
      advises_.erase(message.item);
      break;
    default:
      return Refusal(message.id, "not a client transaction");
  }
  if (result != TransactionResult::Done) return Refusal(message.id, RefusalReason(result));
  return MakeMessage(MessageKind::Ack, message.id);
}

}  // namespace zel
