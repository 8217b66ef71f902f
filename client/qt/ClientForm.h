#pragma once
// The test client's one window: the address fields and data memo that compose the poked line,
// one button per driver command, and the memo that shows received frames.

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client/qt/ClientLink.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zel {

class TForm1 : public QWidget {
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

  // The line the last entry check composed, or the last text received.
  std::string FrameText;

  // How the entry check's error box and the short answers (in the message bar) are shown; tests
  // replace them so that no window waits for a person.
  std::function<void(const QString& caption, const QString& text)> ShowEntryError;
  std::function<void(const std::string& text)> ShowAnswer;

  // The entry check: composes FrameText, shows the error box on failure, and enables or disables
  // PokeButton. True when the entry is valid.
  bool AnyDataChange();

  void PokeButtonClick();
  void SendButtonClick();
  void SendDumpButtonClick();
  void ESendBtnClick();
  void ESendDumpBtnClick();
  void ReceiveButtonClick();
  void ReceiveDumpButtonClick();
  void ClearButtonClick();
  void MinButtonClick();
  void RestButtonClick();
  void HideButtonClick();
  void ShowButtonClick();
  void VersionBtnClick();
  void StateBtnClick();
  void SetDTRbtnClick();
  void MoveDTRbtnClick();
  void SetRTSbtnClick();
  void MoveRTSbtnClick();
  void ExitButtonClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // The memo's lines as displayed, wrapped lines counted separately.
  std::vector<std::string> MemoDisplayedLines() const;
  // The eighteen command buttons.
  std::vector<QPushButton*> CommandButtons() const;

  void FormCreate();
  void FormClose();
  void RestoreButtons();
  std::optional<std::string> WaitForItemText();

  // Before a command: a conversation that failed at start-up is tried once more.
  void ReconnectIfStartFailed();
  // Link trouble is told in RetMemo: a message box would stop the window.
  void AppendNotice(const QString& text);
  void SetSendButtons(bool enabled);
  // The rows of command buttons that differ only in the command word.
  void ExecuteOnly(const char* command);
  void ExecuteAndWait(const char* command);
  void PokeDumpAndExecute(const char* command);
  void ReceiveIntoRetMemo(const char* command);
  void ExecuteAndShowAnswer(const char* command);

  std::unique_ptr<ClientLink> link_;
  bool reconnectOnNextCommand_ = false;
  bool closeSent_ = false;
};

}  // namespace zel
