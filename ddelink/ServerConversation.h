#pragma once
// What a served topic does with each transaction, whatever carries it: the socket link here, a
// DDEML server on Windows.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ddelink/ServerItem.h"

namespace zel {

// The program behind the topic.
class ConversationHandler {
 public:
  virtual ~ConversationHandler() = default;
  // An executed text, split into lines. Returns when the command has been carried out.
  virtual void ExecuteMacro(const std::vector<std::string>& lines) = 0;
  // Called after a poke has set the item's lines and its advise links were notified.
  virtual void PokeData() = 0;
};

enum class TransactionResult { Done, UnknownItem, NotText, Closing };

// Refusal text of a result, for the client; empty for Done.
const char* RefusalReason(TransactionResult result);

class ServerConversation {
 public:
  ServerConversation(std::string topic, ServerItem& item, ConversationHandler& handler)
      : topic_(std::move(topic)), item_(item), handler_(handler) {}

  const std::string& Topic() const { return topic_; }
  ServerItem& Item() { return item_; }

  bool AcceptsTopic(std::string_view topic) const;
  // Validates item name and format, as every item transaction does.
  TransactionResult CheckItem(std::string_view item, uint32_t format) const;

  // From now on executes are dropped and pokes refused; requests are still answered, so a
  // client waiting for the last outcome gets it while the program ends.
  void StopHandling() { stopped_ = true; }

  void Execute(std::string_view text);
  TransactionResult Poke(std::string_view item, uint32_t format, std::string_view text);
  TransactionResult Request(std::string_view item, uint32_t format, std::string& answer) const;

 private:
  std::string topic_;
  ServerItem& item_;
  ConversationHandler& handler_;
  bool stopped_ = false;
};

}  // namespace zel
