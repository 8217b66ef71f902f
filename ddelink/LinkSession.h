#pragma once
// One client's side of the conversation, whatever carries its messages: whether it has joined the
// topic, its warm links, and the one answer to each of its transactions.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "ddelink/LinkWire.h"
#include "ddelink/ServerConversation.h"

namespace zel {

class LinkSession {
 public:
  explicit LinkSession(ServerConversation& conversation) : conversation_(conversation) {}

  // Carries out what the client's reader delivered and gives the answer. After a Broken event the
  // stream cannot be read on: that answer is the last one the client gets.
  LinkMessage Serve(const MessageReader::Event& event);
  // The notice owed to this client for a setting of `item`, when it holds a warm link on it.
  std::optional<LinkMessage> NoticeFor(const std::string& item) const;

 private:
  LinkMessage Transact(const LinkMessage& message);

  ServerConversation& conversation_;
  bool conversing_ = false;                  // its Connect was accepted
  std::map<std::string, uint32_t> advises_;  // item -> id of the Advise that opened the link
};

}  // namespace zel
