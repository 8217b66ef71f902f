#pragma once
// Where "ZELdrv.ini" lives: beside the program while that is possible (the build tree, a portable
// copy), else in the user's configuration folder (an installed program's folder is not the user's).

#include <string>

namespace zel {

// The file beside the program when it is there already or the program's folder is writable;
// otherwise `xdgConfigHome`/zel/ZELdrv.ini, with `home`/.config standing in for an
// `xdgConfigHome` that is empty or not absolute. Without an absolute home either, the file
// stays beside the program (its store then fails with the usual message).
std::string ChooseConfigurationPath(const std::string& programDir, bool existsBesideProgram,
                                    bool programDirWritable, const std::string& xdgConfigHome,
                                    const std::string& home);

}  // namespace zel
