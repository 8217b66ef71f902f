#pragma once
// The message bar's window, and the program's one message bar that shows in it.

#include <QDialog>
#include <string>

#include "common/MessageBar.h"

class QLabel;
class QPushButton;

namespace zel {

class TWriteBar : public QDialog, public MessageBarView {
  Q_OBJECT

 public:
  // Built hidden, with an empty text; always on top, without system menu or close box.
  explicit TWriteBar(QWidget* parent = nullptr);
  ~TWriteBar() override;  // WriteBar no longer refers to it

  QLabel* MessageTxt;  // centred, wrapped within its fixed size
  QPushButton* OkBtn;  // closes the window with OK; the only control that takes the focus

  void SetMessageText(const std::string& text) override;
  void RunModal() override;

 protected:
  // Only OK ends the window: Esc does nothing here.
  void keyPressEvent(QKeyEvent* event) override;
};

// The program's one message bar, created during start-up once the main window exists; null
// before that.
extern TWriteBar* WriteBar;

// Shows `text` through the program's one MessageBar, in WriteBar as it stands at the call (no
// WriteBar: standard error).
void ShowWriteBar(const std::string& text);

// The notices of the port object and its settings carrier, shown in the message bar.
class WriteBarNotice : public Notice {
 public:
  void ShowNotice(const std::string& text) override { ShowWriteBar(text); }
};

}  // namespace zel
