#pragma once
// The About box: the program's picture, title and release, and an OK button.

#include <QDialog>
#include <QPixmap>

class QFrame;
class QLabel;
class QPushButton;

namespace zel {

class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  // Built hidden; fixed dialog border without caption buttons, centred on the screen when shown.
  explicit TAboutBox(QWidget* parent = nullptr);
  ~TAboutBox() override;  // AboutBox no longer refers to it

  QFrame* Panel1;
  QLabel* ProgramIcon;
  QLabel* ProductName;
  QLabel* Version;
  QPushButton* OKButton;  // the default button; closes the box
};

// The program's picture, 100 x 100 pixels: the About box shows it, the windows carry it as icon.
QPixmap ProgramPicture();

// The program's one About box, created during start-up after the main window; null before that.
extern TAboutBox* AboutBox;

}  // namespace zel
