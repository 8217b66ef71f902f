#include "ddelink/ServerConversation.h"

#include "ddelink/LinkWire.h"
#include "ddelink/ServiceName.h"
#include "ddelink/TextLines.h"

namespace zel {

const char* RefusalReason(TransactionResult result) {
  switch (result) {
    case TransactionResult::Done:
      return "";
    case TransactionResult::UnknownItem:
      return "no such item";
    case TransactionResult::NotText:
      return "only the text format is served";
    case TransactionResult::Closing:
      return "the driver is closing";
  }
  return "refused";
}

bool ServerConversation::AcceptsTopic(std::string_view topic) const {
  return SameTopic(UntilNul(topic), topic_);
}

TransactionResult ServerConversation::CheckItem(std::string_view item, uint32_t format) const {
  if (item != item_.Name()) return TransactionResult::UnknownItem;
  if (format != TextFormat) return TransactionResult::NotText;
  return TransactionResult::Done;
}

void ServerConversation::Execute(std::string_view text) {
  if (!stopped_) handler_.ExecuteMacro(SplitLines(text));
}

TransactionResult ServerConversation::Poke(std::string_view item, uint32_t format,
                                           std::string_view text) {
  const auto check = CheckItem(item, format);
  if (check != TransactionResult::Done) return check;
  if (stopped_) return TransactionResult::Closing;
  item_.SetLines(SplitLines(text));
  handler_.PokeData();
  return TransactionResult::Done;
}

TransactionResult ServerConversation::Request(std::string_view item, uint32_t format,
                                              std::string& answer) const {
  const auto check = CheckItem(item, format);
  if (check == TransactionResult::Done) answer = item_.RequestText();
  return check;
}

}  // namespace zel
