#pragma once
// A topic that only tells: every line published on it goes to each client that holds a warm link
// on its one item. Each listening client has its own queue of lines, emptied by its requests, so
// a line is never lost to a client that is slow to ask, however fast lines come.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ddelink/ServerConversation.h"

namespace zel {

// The lines one listener has not requested yet.
class BroadcastQueue {
 public:
  // Past this much unrequested text, further lines are only counted.
  static constexpr std::size_t MaxBytes = 4u * 1024u * 1024u;

  void Add(const std::string& line);
  // Every queued line followed by CR LF, oldest first, after a line saying how many were lost,
  // if any were; the queue is then empty.
  std::string Take();

 private:
  std::deque<std::string> lines_;
  std::size_t bytes_ = 0;
  uint64_t lost_ = 0;
};

class BroadcastTopic {
 public:
  BroadcastTopic(std::string topic, std::string item)
      : topic_(std::move(topic)), item_(std::move(item)) {}
  BroadcastTopic(const BroadcastTopic&) = delete;
  BroadcastTopic& operator=(const BroadcastTopic&) = delete;

  const std::string& Topic() const { return topic_; }
  const std::string& ItemName() const { return item_; }
  bool AcceptsTopic(std::string_view topic) const;
  TransactionResult CheckItem(std::string_view item, uint32_t format) const;

  void Listen(BroadcastQueue& queue);
  void Unlisten(BroadcastQueue& queue);
  // Cheap enough to ask before preparing each line.
  bool HasListeners() const { return !queues_.empty(); }

  // Queues the line for every listener, then tells the link (which sends the notices).
  void Publish(const std::string& line);

  // The program hears when the first listener comes and when the last goes, to start or stop
  // producing lines; the link hears each publication.
  void SetListeningChanged(std::function<void(bool)> changed) { changed_ = std::move(changed); }
  void SetPublished(std::function<void()> published) { published_ = std::move(published); }

 private:
  std::string topic_;
  std::string item_;
  std::vector<BroadcastQueue*> queues_;  // not owned: each listening session's own
  std::function<void(bool)> changed_;
  std::function<void()> published_;
};

}  // namespace zel
