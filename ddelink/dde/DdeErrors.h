#pragma once
// DDEML's error codes as people read them.

#include <string>

namespace zel {

// "DMLERR_<NAME>: <meaning>" for a DDEML error code (DdeInitialize's result, DdeGetLastError's).
std::string DdemlErrorText(unsigned code);

}  // namespace zel
