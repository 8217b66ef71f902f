#pragma once
// The test client's one window: the address fields and data memo that compose the poked line,
// one button per driver command, and the memo that shows received frames.

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "client/ClientLogic.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zel {

// The Qt face of the client's window: it shows and forwards; ClientLogic decides.
class TForm1 : public QWidget, public ClientView {
  Q_OBJECT

 public:
  // Builds the window and runs FormCreate. Tests pass a link whose driver they chose.
  explicit TForm1(std::unique_ptr<ClientLink> link = std::make_unique<ClientLink>(),
                  QWidget* parent = nullptr);
  ~TForm1() override;

  QGroupBox* GroupBox1;
  QLabel* Label1;
  QLineEdit* HiToEdit;
  QLabel* Label2;
  QLineEdit* LoToEdit;
  QGroupBox* GroupBox2;
  QLabel* Label3;
  QLineEdit* HiFromEdit;
  QLabel* Label4;
  QLineEdit* LoFromEdit;
  QGroupBox* GroupBox3;
  QPlainTextEdit* Memo;
  QFrame* Bevel1;
  QPlainTextEdit* RetMemo;

  QPushButton* MinButton;
  QPushButton* RestButton;
  QPushButton* HideButton;
  QPushButton* ShowButton;
  QPushButton* VersionBtn;
  QPushButton* StateBtn;
  QPushButton* PokeButton;
  QPushButton* ClearButton;
  QPushButton* SendButton;
  QPushButton* ReceiveButton;
  QPushButton* ESendBtn;
  QPushButton* SendDumpButton;
  QPushButton* ReceiveDumpButton;
  QPushButton* ESendDumpBtn;
  QPushButton* SetDTRbtn;
  QPushButton* MoveDTRbtn;
  QPushButton* SetRTSbtn;
  QPushButton* MoveRTSbtn;
  QPushButton* ExitButton;

  std::string FieldText(AddressField field) const override;
  // Wrapped lines counted separately, as the memo shows them.
  std::vector<std::string> MemoDisplayedLines() const override;
  void SetButtonEnabled(ClientButton button, bool enabled) override;
  std::string ResultText() const override;
  void SetResultText(const std::string& text) override;
  void ShowEntryError(const std::string& caption, const std::string& text) override;
  void ShowAnswer(const std::string& text) override;
  void EndProgram() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QPushButton* buttons_[ClientButtonCount] = {};
  std::unique_ptr<ClientLink> link_;
  ClientLogic logic_;
};

}  // namespace zel
