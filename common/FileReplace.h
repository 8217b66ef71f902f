#pragma once
// Replacing a file whole, and making the folders it goes into: the file-system steps of the core
// that need the platform.

#include <string>

namespace zel {

// Puts the finished file `temporary` in the place of `target` so that a reader, or a restart after
// a crash, finds either the old target or the new one complete, never a part of either. The
// temporary's bytes are on disk before it takes the target's name; the directory entry is synced
// afterwards. A target that exists but is write-protected is left alone.
// True when the replacement is done. False when a step failed: the target is then as it was and
// the temporary may still exist (the caller removes it) -- except when only the final sync of
// the directory failed with an input/output error, where the new file is in place but may not
// survive a crash.
bool ReplaceFileAtomically(const std::string& temporary, const std::string& target);

// Makes the folders on the way to the file `path` where the platform keeps the file in the
// user's own configuration folder, which may not exist yet (POSIX: whichever are missing, each open
// to its owner only; Windows: none, the file lives beside the program). False with errno set when
// a folder could not be made.
bool MakeFoldersFor(const std::string& path);

}  // namespace zel
