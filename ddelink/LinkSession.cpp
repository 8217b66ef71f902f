#include "ddelink/LinkSession.h"

namespace zel {

namespace {

LinkMessage Refusal(uint32_t id, std::string reason) {
  return MakeMessage(MessageKind::Nak, id, std::move(reason));
}

}  // namespace

LinkSession::~LinkSession() {
  if (broadcast_) broadcast_->Unlisten(heard_);
}

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

LinkMessage LinkSession::Join(const LinkMessage& message) {
  Topic topic = Topic::None;
  if (conversation_.AcceptsTopic(message.text)) {
    topic = Topic::Conversation;
  } else if (broadcast_ && broadcast_->AcceptsTopic(message.text)) {
    topic = Topic::Broadcast;
  }
  if (topic == Topic::None) return Refusal(message.id, "no such topic");
  if (topic_ != Topic::None && topic_ != topic)
    return Refusal(message.id, "the conversation is on another topic");
  topic_ = topic;
  return MakeMessage(MessageKind::Ack, message.id);
}

TransactionResult LinkSession::TransactBroadcast(const LinkMessage& message, std::string& answer) {
  const TransactionResult result = broadcast_->CheckItem(message.item, message.format);
  if (result != TransactionResult::Done) return result;
  switch (message.kind) {
    case MessageKind::Request:
      answer = heard_.Take();
      break;
    case MessageKind::Advise:
      advises_[message.item] = message.id;
      broadcast_->Listen(heard_);
      break;
    default:  // Unadvise; what was heard stays for a last request
      advises_.erase(message.item);
      broadcast_->Unlisten(heard_);
      break;
  }
  return result;
}

LinkMessage LinkSession::Transact(const LinkMessage& message) {
  if (message.kind == MessageKind::Connect) return Join(message);
  if (topic_ == Topic::None)
    return Refusal(message.id, "no conversation: connect to a topic first");
  if (topic_ == Topic::Broadcast) {
    switch (message.kind) {
      case MessageKind::Execute:
      case MessageKind::Poke:
        return Refusal(message.id, "not served on this topic");
      case MessageKind::Request:
      case MessageKind::Advise:
      case MessageKind::Unadvise: {
        std::string answer;
        const TransactionResult result = TransactBroadcast(message, answer);
        if (result != TransactionResult::Done) return Refusal(message.id, RefusalReason(result));
        if (message.kind == MessageKind::Request)
          return MakeMessage(MessageKind::Data, message.id, std::move(answer));
        return MakeMessage(MessageKind::Ack, message.id);
      }
      default:
        return Refusal(message.id, "not a client transaction");
    }
  }
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
