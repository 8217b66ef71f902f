// A pseudo-terminal whose master side the test holds; the port under test opens the slave side
// by path, as it would open a serial device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zel::test {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Ok() const { return master_ >= 0; }
  const std::string& Error() const { return error_; }
  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }

  // Writes all bytes into the line towards the port; false if they could not all go in 2 s.
  bool Send(const std::vector<uint8_t>& bytes);
  // Collects up to count bytes the port wrote, waiting at most timeoutMs for each next chunk.
  std::vector<uint8_t> Receive(size_t count, int timeoutMs);
  // Hangs the line up, as unplugging a USB adapter would.
  void CloseMaster();

 private:
  int master_ = -1;
  std::string slavePath_;
  std::string error_;
};

}  // namespace zel::test
