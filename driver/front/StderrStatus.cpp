#include "driver/front/StderrStatus.h"

#include <cstdio>

namespace zel {

void StderrStatus::SetStatusText(const std::string& text) {
  std::fprintf(stderr, "status: %s\n", text.c_str());
  std::fflush(stderr);
}

}  // namespace zel
