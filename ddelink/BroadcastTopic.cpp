#include "ddelink/BroadcastTopic.h"

#include <algorithm>

#include "ddelink/LinkWire.h"
#include "ddelink/ServiceName.h"
#include "ddelink/TextLines.h"

namespace zel {

void BroadcastQueue::Add(const std::string& line) {
  if (bytes_ + line.size() > MaxBytes) {
    ++lost_;
    return;
  }
  bytes_ += line.size();
  lines_.push_back(line);
}

std::string BroadcastQueue::Take() {
  std::vector<std::string> lines;
  lines.reserve(lines_.size() + 1);
  if (lost_ > 0) lines.push_back("(" + std::to_string(lost_) + " lines lost: not requested)");
  for (auto& line : lines_) lines.push_back(std::move(line));
  lines_.clear();
  bytes_ = 0;
  lost_ = 0;
  return JoinLines(lines);
}

bool BroadcastTopic::AcceptsTopic(std::string_view topic) const {
  return SameTopic(UntilNul(topic), topic_);
}

TransactionResult BroadcastTopic::CheckItem(std::string_view item, uint32_t format) const {
  if (item != item_) return TransactionResult::UnknownItem;
  if (format != TextFormat) return TransactionResult::NotText;
  return TransactionResult::Done;
}

void BroadcastTopic::Listen(BroadcastQueue& queue) {
  if (std::find(queues_.begin(), queues_.end(), &queue) != queues_.end()) return;
  queues_.push_back(&queue);
  if (queues_.size() == 1 && changed_) changed_(true);
}

void BroadcastTopic::Unlisten(BroadcastQueue& queue) {
  const auto at = std::find(queues_.begin(), queues_.end(), &queue);
  if (at == queues_.end()) return;
  queues_.erase(at);
  if (queues_.empty() && changed_) changed_(false);
}

void BroadcastTopic::Publish(const std::string& line) {
  for (BroadcastQueue* queue : queues_) queue->Add(line);
  if (published_) published_();
}

}  // namespace zel
