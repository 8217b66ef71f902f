#pragma once
// Naming rules of the link.

#include <string>
#include <string_view>

namespace zel {

// The service a program serves: its file name without directory and without everything from the
// first dot ("/opt/zel/ZELdrv.bin" serves "ZELdrv"). Both '/' and '\\' end a directory.
std::string ServiceNameFromProgramPath(std::string_view programPath);

// Whether a name can address a service: not empty, no directory separator, no NUL, not "." or "..".
bool IsUsableServiceName(std::string_view name);

// Topics are matched regardless of ASCII case; items are matched exactly.
bool SameTopic(std::string_view a, std::string_view b);

}  // namespace zel
