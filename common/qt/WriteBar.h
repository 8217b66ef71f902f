#pragma once
// The message bar: the one small modal window in which a program shows its short notices above
// an OK button that the user must press to go on.

#include <QDialog>
#include <string>

#include "common/Notice.h"

class QLabel;
class QPushButton;

namespace zel {

class TWriteBar : public QDialog {
  Q_OBJECT

 public:
  // Built hidden, with an empty text; always on top, without system menu or close box.
  explicit TWriteBar(QWidget* parent = nullptr);
  ~TWriteBar() override;  // WriteBar no longer refers to it

  QLabel* MessageTxt;  // centred, wrapped within its fixed size
  QPushButton* OkBtn;  // closes the window with OK; the only control that takes the focus

 protected:
  // Only OK ends the window: Esc does nothing here.
  void keyPressEvent(QKeyEvent* event) override;
};

// The program's one message bar, created during start-up once the main window exists; null
// before that.
extern TWriteBar* WriteBar;

// Shows `text` (8-bit, the platform's encoding) in WriteBar modally and returns once the user has
// pressed OK, or at once when the program is ending. Without a WriteBar the text goes to standard
// error as "message: <text>". A call made while the bar is already open adds its text below the
// one shown and returns at once.
void ShowWriteBar(const std::string& text);

// The notices of the port object and its settings carrier, shown in the message bar.
class WriteBarNotice : public Notice {
 public:
  void ShowNotice(const std::string& text) override { ShowWriteBar(text); }
};

}  // namespace zel
