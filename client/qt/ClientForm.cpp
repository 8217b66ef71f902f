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
    : QWidget(parent), link_(std::move(link)), logic_(*this, *link_) {
  setObjectName("Form1");
  setWindowTitle(FromUtf8(ClientCaption));
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
    ClientButton click;
  };
  const ButtonRow buttons[] = {
      {&MinButton, "MinButton", "Minimize", 348, 8, 93, 21, ClientButton::Min},
      {&RestButton, "RestButton", "Restore", 444, 8, 89, 21, ClientButton::Rest},
      {&HideButton, "HideButton", "Hide", 348, 28, 93, 21, ClientButton::Hide},
      {&ShowButton, "ShowButton", "Show", 444, 28, 89, 21, ClientButton::Show},
      {&VersionBtn, "VersionBtn", "Version", 348, 60, 93, 25, ClientButton::Version},
      {&StateBtn, "StateBtn", "State !", 444, 60, 89, 25, ClientButton::State},
      {&PokeButton, "PokeButton", "Poke", 348, 96, 93, 37, ClientButton::Poke},
      {&ClearButton, "ClearButton", "Clear", 444, 96, 89, 37, ClientButton::Clear},
      {&SendButton, "SendButton", "Send", 348, 136, 93, 37, ClientButton::Send},
      {&ReceiveButton, "ReceiveButton", "Receive", 444, 136, 89, 73, ClientButton::Receive},
      {&ESendBtn, "ESendBtn", "D.Send", 348, 172, 93, 37, ClientButton::ESend},
      {&SendDumpButton, "SendDumpButton", "SendDmp", 348, 212, 93, 37, ClientButton::SendDump},
      {&ReceiveDumpButton, "ReceiveDumpButton", "ReceiveDmp", 444, 212, 89, 73,
       ClientButton::ReceiveDump},
      {&ESendDumpBtn, "ESendDumpBtn", "D.SendDmp", 348, 248, 93, 37, ClientButton::ESendDump},
      {&SetDTRbtn, "SetDTRbtn", "DTR", 348, 288, 49, 33, ClientButton::SetDTR},
      {&MoveDTRbtn, "MoveDTRbtn", "dtr", 396, 288, 45, 33, ClientButton::MoveDTR},
      {&SetRTSbtn, "SetRTSbtn", "RTS", 444, 288, 45, 33, ClientButton::SetRTS},
      {&MoveRTSbtn, "MoveRTSbtn", "rts", 488, 288, 45, 33, ClientButton::MoveRTS},
      // The component keeps its published name, Button4.
      {&ExitButton, "Button4", "Exit", 348, 324, 185, 25, ClientButton::Exit},
  };
  for (const ButtonRow& row : buttons) {
    auto* button = new QPushButton(FromUtf8(row.caption), this);
    button->setObjectName(row.name);
    button->setGeometry(row.x, row.y, row.w, row.h);
    connect(button, &QPushButton::clicked, this,
            [this, click = row.click] { logic_.Click(click); });
    *row.button = buttons_[static_cast<int>(row.click)] = button;
  }

  // The keyboard walks the window in this order.
  const std::vector<QWidget*> tabOrder = {
      HiToEdit,   LoToEdit,          HiFromEdit,  LoFromEdit,   Memo,
      SendButton, ReceiveButton,     ClearButton, ExitButton,   PokeButton,
      RetMemo,    ReceiveDumpButton, MinButton,   RestButton,   HideButton,
      ShowButton, SendDumpButton,    ESendBtn,    ESendDumpBtn, VersionBtn,
      StateBtn,   SetDTRbtn,         MoveDTRbtn,  SetRTSbtn,    MoveRTSbtn};
  for (std::size_t i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  // Wired after the initial texts, so building the window runs no check.
  for (QLineEdit* edit : {HiToEdit, LoToEdit, HiFromEdit, LoFromEdit})
    connect(edit, &QLineEdit::textChanged, this, [this] { logic_.AnyDataChange(); });
  connect(Memo, &QPlainTextEdit::textChanged, this, [this] { logic_.AnyDataChange(); });

  logic_.FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::closeEvent(QCloseEvent* event) {
  logic_.FormClose();
  event->accept();
}

std::string TForm1::FieldText(AddressField field) const {
  const QLineEdit* edits[] = {HiToEdit, LoToEdit, HiFromEdit, LoFromEdit};
  return ToUtf8(edits[static_cast<int>(field)]->text());
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

void TForm1::SetButtonEnabled(ClientButton button, bool enabled) {
  buttons_[static_cast<int>(button)]->setEnabled(enabled);
}

std::string TForm1::ResultText() const {
  return RetMemo->toPlainText().toLocal8Bit().toStdString();
}

void TForm1::SetResultText(const std::string& text) {
  // The driver ends lines with CR LF; the memo's line end is LF.
  QString shown = QString::fromLocal8Bit(text.data(), static_cast<int>(text.size()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  RetMemo->setPlainText(shown);
}

void TForm1::ShowEntryError(const std::string& caption, const std::string& text) {
  QMessageBox::critical(this, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok);
}

void TForm1::ShowAnswer(const std::string& text) { ShowWriteBar(text); }

void TForm1::EndProgram() {
  close();
  QCoreApplication::quit();
}

}  // namespace zel
