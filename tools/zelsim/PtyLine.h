#pragma once
// The line's device: a pseudo-terminal whose slave side the driver opens as its serial port.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zel::sim {

class PtyLine {
 public:
  PtyLine() = default;
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  // Opens the pseudo-terminal raw on both sides and keeps the slave side open, so the line does
  // not hang up while no driver holds it. False with `error` set on failure.
  bool Open(std::string& error);

  int MasterFd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  // Whether Read can report the driver opening the line (not every system tells).
  bool SeesOpenings() const { return packetMode_; }

  enum class ReadResult {
    Data,     // bytes the driver wrote
    Opened,   // the driver flushed its input, as it does when it opens the line
    Nothing,  // nothing to read now
    Failed,   // the line is unusable; errno tells why
  };
  ReadResult Read(std::vector<uint8_t>& bytes);

  // Writes what the line takes now, without waiting; the count written, or -1 on failure.
  ssize_t Write(const uint8_t* data, size_t size);

 private:
  int master_ = -1;
  int slave_ = -1;
  bool packetMode_ = false;
  std::string slavePath_;
};

// Makes `link` a symlink to `target`, replacing an old symlink there but nothing else.
bool CreateLink(const std::string& link, const std::string& target, std::string& error);
// Removes `link` if it is still the symlink to `target`.
void RemoveLink(const std::string& link, const std::string& target);

}  // namespace zel::sim
