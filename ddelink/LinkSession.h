#pragma once
// One client's side of the conversation, whatever carries its messages: whether it has joined the
// topic, its warm links, and the one answer to each of its transactions.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "ddelink/BroadcastTopic.h"
#include "ddelink/LinkWire.h"
#include "ddelink/ServerConversation.h"

namespace zel {

class LinkSession {
 public:
  // broadcast: a second topic served beside the conversation's, or none.
  explicit LinkSession(ServerConversation& conversation, BroadcastTopic* broadcast = nullptr)
      : conversation_(conversation), broadcast_(broadcast) {}
  ~LinkSession();
  LinkSession(const LinkSession&) = delete;
  LinkSession& operator=(const LinkSession&) = delete;

  // Carries out what the client's reader delivered and gives the answer. After a Broken event the
  // stream cannot be read on: that answer is the last one the client gets.
  LinkMessage Serve(const MessageReader::Event& event);
  // The notice owed to this client for a setting of `item`, when it holds a warm link on it.
  std::optional<LinkMessage> NoticeFor(const std::string& item) const;

 private:
  enum class Topic { None, Conversation, Broadcast };

  LinkMessage Transact(const LinkMessage& message);
  LinkMessage Join(const LinkMessage& message);
  TransactionResult TransactBroadcast(const LinkMessage& message, std::string& answer);

  ServerConversation& conversation_;
  BroadcastTopic* broadcast_;
  BroadcastQueue heard_;                     // lines of the broadcast topic not yet requested
  Topic topic_ = Topic::None;                // the topic its Connect joined
  std::map<std::string, uint32_t> advises_;  // item -> id of the Advise that opened the link
};

}  // namespace zel
