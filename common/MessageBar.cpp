#include "common/MessageBar.h"

#include <cstdio>

namespace zel {

void MessageBar::ShowNotice(const std::string& text) {
  if (view_ == nullptr) {
    // Nothing to show it in: start-up has not got that far, or the program is ending.
    std::fprintf(stderr, "message: %s\n", text.c_str());
    std::fflush(stderr);
    return;
  }
  if (open_) {
    // Its caller is still waiting for the user, who now acknowledges both texts at once.
    text_ += '\n';
    text_ += text;
    view_->SetMessageText(text_);
    return;
  }
  text_ = text;
  view_->SetMessageText(text_);
  open_ = true;
  view_->RunModal();  // the window may be gone now: it is not touched again
  open_ = false;
}

}  // namespace zel
