#pragma once
// Replacing a file whole: the one file-system step of the core that needs the platform.

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

}  // namespace zel
