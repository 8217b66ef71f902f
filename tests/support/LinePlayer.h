#pragma once
// The instrument side of a pseudo-terminal, played by a thread of the test: it echoes what the
// driver writes (or not, or spoiled), sends scripted bytes, and records every byte the driver put
// on the line with the time it came.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace zel {

class LinePlayer {
 public:
  enum class Echo { Off, Faithful, Corrupting };
  using Clock = std::chrono::steady_clock;
  struct Chunk {
    Clock::time_point at;
    std::vector<uint8_t> bytes;
  };

  // masterFd: the test's side of the pseudo-terminal; stays the caller's.
  explicit LinePlayer(int masterFd);
  ~LinePlayer();

  void SetEcho(Echo echo) { echo_ = echo; }
  // Puts bytes on the line towards the driver after `delayMs`, each piece `gapMs` after the last.
  void SendLater(std::vector<std::vector<uint8_t>> pieces, int delayMs, int gapMs = 0);

  // Everything the driver wrote so far, as it arrived.
  std::vector<Chunk> Written();
  std::vector<uint8_t> WrittenBytes();
  // Waits until at least `count` bytes were written (at most timeoutMs) and returns them all.
  std::vector<uint8_t> WaitForWritten(std::size_t count, int timeoutMs = 5000);
  void ClearWritten();

 private:
  void Run();

  int master_;
  std::atomic<Echo> echo_{Echo::Off};
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Chunk> written_;
  std::vector<std::thread> senders_;
  std::thread reader_;
};

}  // namespace zel
