#include "client/qt/ClientForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <string_view>

#include "client/EntryCheck.h"
#include "common/Names.h"
#include "common/qt/WriteBar.h"

namespace zel {

namespace {

QString FromUtf8(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size()));
}

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                  int h) {
  auto* label = new QLabel(FromUtf8(caption), parent);
  label->setObjectName(name);
  label->setGeometry(x, y, w, h);
  return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const char* text, int x, int y) {
  auto* edit = new QLineEdit(FromUtf8(text), parent);
  edit->setObjectName(name);
  edit->setGeometry(x, y, 61, 33);
  QFont font = edit->font();
  font.setPixelSize(20);
  edit->setFont(font);
  edit->setStyleSheet("color: black");
  return edit;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* caption, int x, int y, int w,
                     int h) {
  auto* group = new QGroupBox(FromUtf8(caption), parent);
  group->setObjectName(name);
  group->setGeometry(x, y, w, h);
  return group;
}

}  // namespace

TForm1::TForm1(std::unique_ptr<ClientLink> link, QWidget* parent)
    : QWidget(parent), link_(std::move(link)) {
  setObjectName("Form1");
  setWindowTitle(FromUtf8("ZEL test-client"));
  // The outer frame stands at 204, 148 and measures 542 x 534; the client area is that less a
  // usual border (4 each side) and title bar (23).
  move(204, 148);
  resize(534, 507);
  QFont font(FromUtf8("MS Sans Serif"));
  font.setPixelSize(13);
  setFont(font);

  GroupBox1 = MakeGroup(this, "GroupBox1", " Кому ", 0, 0, 173, 85);
  Label1 = MakeLabel(GroupBox1, "Label1", "Ном. прибора", 8, 20, 92, 16);
  HiToEdit = MakeEdit(GroupBox1, "HiToEdit", "1", 108, 12);
  Label2 = MakeLabel(GroupBox1, "Label2", "Номер узла", 8, 56, 79, 16);
  LoToEdit = MakeEdit(GroupBox1, "LoToEdit", "1", 108, 48);
  GroupBox2 = MakeGroup(this, "GroupBox2", " От кого ", 172, 0, 173, 85);
  Label3 = MakeLabel(GroupBox2, "Label3", "Ном. прибора", 8, 20, 92, 16);
  HiFromEdit = MakeEdit(GroupBox2, "HiFromEdit", "0", 108, 12);
  Label4 = MakeLabel(GroupBox2, "Label4", "Номер узла", 8, 56, 79, 16);
  LoFromEdit = MakeEdit(GroupBox2, "LoFromEdit", "0", 108, 48);
  GroupBox3 = MakeGroup(this, "GroupBox3", " Данные (в hex-формате) ", 0, 88, 345, 261);
  Memo = new QPlainTextEdit(GroupBox3);
  Memo->setObjectName("Memo");
  Memo->setGeometry(4, 20, 337, 237);
  Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  {
    QFont memoFont = Memo->font();
    memoFont.setPixelSize(17);
    Memo->setFont(memoFont);
    Memo->setStyleSheet("color: black");
  }
  Bevel1 = new QFrame(this);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setGeometry(0, 356, 533, 145);
  Bevel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  RetMemo = new QPlainTextEdit(this);
  RetMemo->setObjectName("RetMemo");
  RetMemo->setGeometry(4, 360, 525, 137);
  {
    QFont retFont = RetMemo->font();
    retFont.setPixelSize(13);
    retFont.setBold(true);
    RetMemo->setFont(retFont);
    RetMemo->setStyleSheet("QPlainTextEdit { background-color: black; color: lime; }");
  }

  struct ButtonRow {
    QPushButton** button;
    const char* name;
    const char* caption;
    int x, y, w, h;
    void (TForm1::*click)();
  };
  const ButtonRow buttons[] = {
      {&MinButton, "MinButton", "Minimize", 348, 8, 93, 21, &TForm1::MinButtonClick},
      {&RestButton, "RestButton", "Restore", 444, 8, 89, 21, &TForm1::RestButtonClick},
      {&HideButton, "HideButton", "Hide", 348, 28, 93, 21, &TForm1::HideButtonClick},
      {&ShowButton, "ShowButton", "Show", 444, 28, 89, 21, &TForm1::ShowButtonClick},
      {&VersionBtn, "VersionBtn", "Version", 348, 60, 93, 25, &TForm1::VersionBtnClick},
      {&StateBtn, "StateBtn", "State !", 444, 60, 89, 25, &TForm1::StateBtnClick},
      {&PokeButton, "PokeButton", "Poke", 348, 96, 93, 37, &TForm1::PokeButtonClick},
      {&ClearButton, "ClearButton", "Clear", 444, 96, 89, 37, &TForm1::ClearButtonClick},
      {&SendButton, "SendButton", "Send", 348, 136, 93, 37, &TForm1::SendButtonClick},
      {&ReceiveButton, "ReceiveButton", "Receive", 444, 136, 89, 73, &TForm1::ReceiveButtonClick},
      {&ESendBtn, "ESendBtn", "D.Send", 348, 172, 93, 37, &TForm1::ESendBtnClick},
      {&SendDumpButton, "SendDumpButton", "SendDmp", 348, 212, 93, 37,
       &TForm1::SendDumpButtonClick},
      {&ReceiveDumpButton, "ReceiveDumpButton", "ReceiveDmp", 444, 212, 89, 73,
       &TForm1::ReceiveDumpButtonClick},
      {&ESendDumpBtn, "ESendDumpBtn", "D.SendDmp", 348, 248, 93, 37, &TForm1::ESendDumpBtnClick},
      {&SetDTRbtn, "SetDTRbtn", "DTR", 348, 288, 49, 33, &TForm1::SetDTRbtnClick},
      {&MoveDTRbtn, "MoveDTRbtn", "dtr", 396, 288, 45, 33, &TForm1::MoveDTRbtnClick},
      {&SetRTSbtn, "SetRTSbtn", "RTS", 444, 288, 45, 33, &TForm1::SetRTSbtnClick},
      {&MoveRTSbtn, "MoveRTSbtn", "rts", 488, 288, 45, 33, &TForm1::MoveRTSbtnClick},
      // The component keeps its published name, Button4.
      {&ExitButton, "Button4", "Exit", 348, 324, 185, 25, &TForm1::ExitButtonClick},
  };
  for (const ButtonRow& row : buttons) {
    auto* button = new QPushButton(FromUtf8(row.caption), this);
    button->setObjectName(row.name);
    button->setGeometry(row.x, row.y, row.w, row.h);
    connect(button, &QPushButton::clicked, this, [this, click = row.click] { (this->*click)(); });
    *row.button = button;
  }

  // The keyboard walks the window in this order.
  const std::vector<QWidget*> tabOrder = {
      HiToEdit,   LoToEdit,          HiFromEdit,  LoFromEdit,   Memo,
      SendButton, ReceiveButton,     ClearButton, ExitButton,   PokeButton,
      RetMemo,    ReceiveDumpButton, MinButton,   RestButton,   HideButton,
      ShowButton, SendDumpButton,    ESendBtn,    ESendDumpBtn, VersionBtn,
      StateBtn,   SetDTRbtn,         MoveDTRbtn,  SetRTSbtn,    MoveRTSbtn};
  for (std::size_t i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  ShowEntryError = [this](const QString& caption, const QString& text) {
    QMessageBox::critical(this, caption, text, QMessageBox::Ok);
  };
  ShowAnswer = [](const std::string& text) { ShowWriteBar(text); };

  // Wired after the initial texts, so building the window runs no check.
  for (QLineEdit* edit : {HiToEdit, LoToEdit, HiFromEdit, LoFromEdit})
    connect(edit, &QLineEdit::textChanged, this, [this] { AnyDataChange(); });
  connect(Memo, &QPlainTextEdit::textChanged, this, [this] { AnyDataChange(); });

  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
  // No message may be shown while the window is being built: a failure is noted in RetMemo.
  if (!link_->Open()) {
    reconnectOnNextCommand_ = true;
    AppendNotice(FromUtf8("No conversation with %1 (%2); the next command tries again.")
                     .arg(FromUtf8(DriverService), QString::fromStdString(link_->LastError())));
  }
  SetSendButtons(false);
}

void TForm1::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TForm1::FormClose() {
  if (closeSent_) return;
  closeSent_ = true;
  link_->Execute(CloseCommand);
  QCoreApplication::quit();
}

std::vector<QPushButton*> TForm1::CommandButtons() const {
  return {PokeButton,    SendButton,        SendDumpButton, ESendBtn,   ESendDumpBtn, ClearButton,
          ReceiveButton, ReceiveDumpButton, MinButton,      RestButton, HideButton,   ShowButton,
          VersionBtn,    StateBtn,          SetDTRbtn,      MoveDTRbtn, SetRTSbtn,    MoveRTSbtn};
}

void TForm1::SetSendButtons(bool enabled) {
  for (QPushButton* button : {SendButton, SendDumpButton, ESendBtn, ESendDumpBtn})
    button->setEnabled(enabled);
}

void TForm1::AppendNotice(const QString& text) { RetMemo->appendPlainText(text); }

void TForm1::ReconnectIfStartFailed() {
  if (!reconnectOnNextCommand_ || link_->IsOpen()) return;
  reconnectOnNextCommand_ = false;
  if (link_->Open())
    AppendNotice(FromUtf8("Connected to %1.").arg(FromUtf8(DriverService)));
  else
    AppendNotice(FromUtf8("Still no conversation with %1 (%2).")
                     .arg(FromUtf8(DriverService), QString::fromStdString(link_->LastError())));
}

std::vector<std::string> TForm1::MemoDisplayedLines() const {
  // QPlainTextEdit lays out only what it shows, so the lines are broken here again with the
  // memo's own font, width and wrap rule, block by block.
  const qreal margin = Memo->document()->documentMargin();
  const int viewport = Memo->isVisible() ? Memo->viewport()->width() : Memo->contentsRect().width();
  const qreal width = std::max<qreal>(1, viewport - 2 * margin);
  QTextOption option = Memo->document()->defaultTextOption();
  option.setWrapMode(Memo->wordWrapMode());
  std::vector<std::string> lines;
  for (QTextBlock block = Memo->document()->begin();
       block.isValid() && lines.size() < static_cast<std::size_t>(MemoLinesRead);
       block = block.next()) {
    const QString text = block.text();
    QTextLayout layout(text, Memo->font());
    layout.setTextOption(option);
    layout.beginLayout();
    bool any = false;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
      line.setLineWidth(width);
      lines.push_back(ToUtf8(text.mid(line.textStart(), line.textLength())));
      any = true;
    }
    layout.endLayout();
    if (!any) lines.emplace_back();
  }
  return lines;
}

bool TForm1::AnyDataChange() {
  const EntryCheckResult result =
      CheckEntry(ToUtf8(HiToEdit->text()), ToUtf8(LoToEdit->text()), ToUtf8(HiFromEdit->text()),
                 ToUtf8(LoFromEdit->text()), MemoDisplayedLines());
  if (result.FrameText) FrameText = *result.FrameText;
  if (!result.Valid) ShowEntryError(FromUtf8(EntryErrorCaption), FromUtf8(EntryErrorText));
  PokeButton->setEnabled(result.Valid);
  return result.Valid;
}

std::optional<std::string> TForm1::WaitForItemText() {
  std::optional<std::string> text = link_->WaitForItemText();
  if (!text)
    AppendNotice(FromUtf8(link_->IsOpen() ? "%1 gave no answer; the command was given up."
                                          : "No conversation with %1: the command reached nothing.")
                     .arg(FromUtf8(DriverService)));
  return text;
}

void TForm1::RestoreButtons() {
  RetMemo->clear();
  // The driver ends lines with CR LF; the memo's line end is LF.
  QString text = QString::fromLocal8Bit(FrameText.data(), static_cast<int>(FrameText.size()));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  RetMemo->setPlainText(text + '\n');
  for (QPushButton* button : CommandButtons()) button->setEnabled(true);
}

void TForm1::PokeButtonClick() {
  if (!AnyDataChange()) return;
  ReconnectIfStartFailed();
  SetSendButtons(true);
  link_->Poke(FrameText);
}

void TForm1::ExecuteAndWait(const char* command) {
  ReconnectIfStartFailed();
  link_->Execute(command);
  WaitForItemText();
}

void TForm1::PokeDumpAndExecute(const char* command) {
  if (!AnyDataChange()) return;
  ReconnectIfStartFailed();
  FrameText = DumpText(FrameText);
  link_->Poke(FrameText);
  link_->Execute(command);
  WaitForItemText();
}

void TForm1::ReceiveIntoRetMemo(const char* command) {
  for (QPushButton* button : CommandButtons()) button->setEnabled(false);
  RetMemo->clear();
  ReconnectIfStartFailed();
  link_->Execute(command);
  const std::optional<std::string> outcome = WaitForItemText();
  if (outcome) FrameText = *outcome;
  const QString notice = outcome ? QString() : RetMemo->toPlainText();
  RestoreButtons();
  // Without an outcome the notice says why, not an old text.
  if (!outcome) RetMemo->setPlainText(notice);
}

void TForm1::ExecuteAndShowAnswer(const char* command) {
  ReconnectIfStartFailed();
  link_->Execute(command);
  if (const std::optional<std::string> outcome = WaitForItemText()) ShowAnswer(*outcome);
}

void TForm1::SendButtonClick() { ExecuteAndWait(SendCommand); }
void TForm1::ESendBtnClick() { ExecuteAndWait(EasySendCommand); }
void TForm1::SendDumpButtonClick() { PokeDumpAndExecute(SendDumpCommand); }
void TForm1::ESendDumpBtnClick() { PokeDumpAndExecute(EasySendDumpCommand); }
void TForm1::ReceiveButtonClick() { ReceiveIntoRetMemo(ReceiveCommand); }
void TForm1::ReceiveDumpButtonClick() { ReceiveIntoRetMemo(ReceiveDumpCommand); }
void TForm1::VersionBtnClick() { ExecuteAndShowAnswer(VersionCommand); }
void TForm1::StateBtnClick() { ExecuteAndShowAnswer(PortStateCommand); }
void TForm1::SetDTRbtnClick() { ExecuteAndShowAnswer(SetDtrCommand); }
void TForm1::MoveDTRbtnClick() { ExecuteAndShowAnswer(MoveDtrCommand); }
void TForm1::SetRTSbtnClick() { ExecuteAndShowAnswer(SetRtsCommand); }
void TForm1::MoveRTSbtnClick() { ExecuteAndShowAnswer(MoveRtsCommand); }

void TForm1::ExecuteOnly(const char* command) {
  ReconnectIfStartFailed();
  link_->Execute(command);
}

void TForm1::ClearButtonClick() {
  RetMemo->clear();
  SetSendButtons(false);
  ExecuteOnly(ClearCommand);
}

void TForm1::MinButtonClick() { ExecuteOnly(MinimizeCommand); }
void TForm1::RestButtonClick() { ExecuteOnly(NormalSizeCommand); }
void TForm1::HideButtonClick() { ExecuteOnly(HideCommand); }
void TForm1::ShowButtonClick() { ExecuteOnly(ShowCommand); }

void TForm1::ExitButtonClick() { close(); }

}  // namespace zel
