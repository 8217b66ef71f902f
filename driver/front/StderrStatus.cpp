#include "driver/front/StderrStatus.h"

#include <cstdio>

namespace zel {

void StderrStatus::SetStatusText(const std::string& text) { Report("status: " + text); }

void StderrStatus::ShowNotice(const std::string& text) { Report("notice: " + text); }

void StderrStatus::Report(const std::string& line) {
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

}  // namespace zel
