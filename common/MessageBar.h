#pragma once
// The message bar: the one small modal window in which a program shows its short notices above
// an OK button that the user must press to go on. MessageBar holds what the window does; a
// toolkit's window implements MessageBarView.

#include <string>

#include "common/Notice.h"

namespace zel {

// The caption of the message bar's window.
inline constexpr char MessageBarCaption[] = "Press \"OK\" to continue";

// The window's measures, in pixels as they stand, whatever the screen's resolution.
struct MessageBarPlace {
  int left, top, width, height;
};
inline constexpr int MessageBarClientWidth = 389;
inline constexpr int MessageBarClientHeight = 107;
inline constexpr MessageBarPlace MessageTxtPlace{4, 4, 381, 61};
inline constexpr MessageBarPlace OkBtnPlace{156, 72, 81, 29};
inline constexpr int MessageTxtPixels = 17;

class MessageBarView {
 public:
  virtual ~MessageBarView() = default;
  // Puts the text (8-bit, the platform's encoding) into MessageTxt.
  virtual void SetMessageText(const std::string& text) = 0;
  // Centres the window, gives OkBtn the focus and runs it modally; returns once the user has
  // pressed OK, or when the program is ending (the window is then hidden again).
  virtual void RunModal() = 0;
};

class MessageBar : public Notice {
 public:
  // The window, once start-up has created it; nullptr when it is gone.
  void Attach(MessageBarView* view) { view_ = view; }

  // ShowWriteBar: shows the text modally and returns once the user has pressed OK. Without a
  // window the text goes to standard error as "message: <text>". A call made while the bar is
  // already open adds its text below the one shown and returns at once: its caller's user now
  // acknowledges both.
  void ShowNotice(const std::string& text) override;

  bool IsOpen() const { return open_; }
  // The text shown (or last shown).
  const std::string& Text() const { return text_; }

 private:
  MessageBarView* view_ = nullptr;
  bool open_ = false;
  std::string text_;
};

}  // namespace zel
