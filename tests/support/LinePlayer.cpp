#include "tests/support/LinePlayer.h"

#include <poll.h>
#include <unistd.h>

namespace zel {

LinePlayer::LinePlayer(int masterFd) : master_(masterFd), reader_([this] { Run(); }) {}

LinePlayer::~LinePlayer() {
  stop_ = true;
  reader_.join();
  for (auto& sender : senders_) sender.join();
}

void LinePlayer::Run() {
  while (!stop_) {
    pollfd watch{master_, POLLIN, 0};
    if (poll(&watch, 1, 20) <= 0 || !(watch.revents & POLLIN)) continue;
    uint8_t buffer[512];
    const ssize_t got = read(master_, buffer, sizeof buffer);
    if (got <= 0) continue;
    std::vector<uint8_t> bytes(buffer, buffer + got);
    const Echo echo = echo_;
    if (echo != Echo::Off) {
      std::vector<uint8_t> back = bytes;
      if (echo == Echo::Corrupting) back[0] ^= 0xFF;
      (void)!write(master_, back.data(), back.size());
    }
    std::lock_guard<std::mutex> lock(mutex_);
    written_.push_back({Clock::now(), std::move(bytes)});
  }
}

void LinePlayer::SendLater(std::vector<std::vector<uint8_t>> pieces, int delayMs, int gapMs) {
  senders_.emplace_back([this, pieces = std::move(pieces), delayMs, gapMs] {
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
      (void)!write(master_, pieces[i].data(), pieces[i].size());
    }
  });
}

std::vector<LinePlayer::Chunk> LinePlayer::Written() {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

std::vector<uint8_t> LinePlayer::WrittenBytes() {
  std::vector<uint8_t> all;
  for (const auto& chunk : Written()) all.insert(all.end(), chunk.bytes.begin(), chunk.bytes.end());
  return all;
}

std::vector<uint8_t> LinePlayer::WaitForWritten(std::size_t count, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<uint8_t> bytes = WrittenBytes();
  while (bytes.size() < count && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    bytes = WrittenBytes();
  }
  return bytes;
}

void LinePlayer::ClearWritten() {
  std::lock_guard<std::mutex> lock(mutex_);
  written_.clear();
}

}  // namespace zel
