#pragma once
// Carries out zelctl's actions on one open conversation.

#include <cstdio>

#include "ddelink/LinkClient.h"
#include "tools/zelctl/ZelctlOptions.h"

namespace zel {

// Exit status: 0 when every action was done, 1 when one was refused, failed or timed out (the
// reason goes to `errors`). Answers go to `out` exactly as received.
int RunZelctlActions(const ZelctlOptions& options, LinkClient& link, std::FILE* in, std::FILE* out,
                     std::FILE* errors);

}  // namespace zel
