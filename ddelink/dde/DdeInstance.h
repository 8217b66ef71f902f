#pragma once
// One DDEML instance of the calling thread, with the string handles it made. DDEML ties an
// instance to its thread: every call on it must come from the thread that opened it.

#include <windows.h>
// After windows.h, whose types it uses.
#include <ddeml.h>

#include <map>
#include <string>

namespace zel {

class DdeInstance {
 public:
  DdeInstance() = default;
  ~DdeInstance() { Close(); }
  DdeInstance(const DdeInstance&) = delete;
  DdeInstance& operator=(const DdeInstance&) = delete;

  // DMLERR_NO_ERROR, or DDEML's error code.
  unsigned Open(PFNCALLBACK callback, DWORD flags);
  // Ends the instance's conversations and frees its strings.
  void Close();

  bool IsOpen() const { return id_ != 0; }
  DWORD Id() const { return id_; }
  unsigned LastError() const { return DdeGetLastError(id_); }

  // The handle of an 8-bit text, kept until Close; 0 when DDEML cannot hold it (an atom holds
  // at most 255 characters).
  HSZ String(const std::string& text);
  // The text of a string handle, as DDEML keeps it: atoms ignore case, so a name spelt in
  // another case may come back as this instance first spelt it.
  std::string Text(HSZ handle) const;

 private:
  DWORD id_ = 0;
  std::map<std::string, HSZ> strings_;
};

}  // namespace zel
