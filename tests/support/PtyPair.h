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
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Ok() const { return master_ >= 0; }
  const std::string& Error() const { return error_; }
  const std::string& SlavePath() const { return slavePath_; }
  // Writes all bytes into the line towards the port; false if they could not all go in 2 s.
  bool Send(const std::vector<uint8_t>& bytes);
  // Collects up to count bytes the port wrote, waiting at most timeoutMs for each next chunk.
  std::vector<uint8_t> Receive(size_t count, int timeoutMs);
  void CloseMaster();  // hangs the line up, as unplugging a USB adapter would

 private:
  int master_ = -1;
  std::string slavePath_, error_;
};

}  // namespace zel::test
