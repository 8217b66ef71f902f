#include "common/FileReplace.h"

#include <windows.h>

#include <cerrno>

#include "common/win32/SystemText.h"

namespace zel {

namespace {

// The caller reports failures with errno's text; say what went wrong in its terms.
bool Failed() {
  switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    case ERROR_WRITE_PROTECT:
      errno = EROFS;
      break;
    default:
      errno = EIO;
  }
  return false;
}

bool FlushToDisk(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Failed();
  const bool flushed = FlushFileBuffers(file) != 0;
  if (!flushed) Failed();
  CloseHandle(file);
  return flushed;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& temporary, const std::string& target) {
  const std::wstring from = win32::Wide(temporary);
  const std::wstring to = win32::Wide(target);
  // A user who write-protected the file means it to stay as it is.
  const DWORD attributes = GetFileAttributesW(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return Failed();
  }
  if (!FlushToDisk(from)) return false;
  // A rename over the target: a reader sees the old file or the new one, never none. ReplaceFileW
  // would keep the target's security and attributes, but Wine carries it out as two moves, with
  // a moment between them in which the file is missing.
  return MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
         Failed();
}

// Here the file lives beside the program, whose folder exists; a missing folder means a path
// gone wrong, and the store is to fail there rather than make one.
bool MakeFoldersFor(const std::string&) { return true; }

}  // namespace zel
