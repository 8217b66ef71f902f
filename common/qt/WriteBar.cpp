#include "common/qt/WriteBar.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

namespace zel {

TWriteBar* WriteBar = nullptr;

namespace {}  // namespace

TWriteBar::TWriteBar(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      MessageTxt(new QLabel(this)),
      OkBtn(new QPushButton(QStringLiteral("OK"), this)) {
  setObjectName(QStringLiteral("WriteBar"));
  setWindowTitle(QString::fromLatin1(MessageBarCaption));
  setModal(true);
  setFixedSize(MessageBarClientWidth, MessageBarClientHeight);

  MessageTxt->setObjectName(QStringLiteral("MessageTxt"));
  MessageTxt->setGeometry(MessageTxtPlace.left, MessageTxtPlace.top, MessageTxtPlace.width,
                          MessageTxtPlace.height);
  MessageTxt->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  MessageTxt->setWordWrap(true);
  MessageTxt->setTextFormat(Qt::PlainText);
  MessageTxt->setFocusPolicy(Qt::NoFocus);
  QFont messageFont(QStringLiteral("Sans Serif"));
  messageFont.setStyleHint(QFont::SansSerif);
  messageFont.setPixelSize(MessageTxtPixels);
  MessageTxt->setFont(messageFont);
  QPalette black = MessageTxt->palette();
  black.setColor(QPalette::WindowText, Qt::black);
  MessageTxt->setPalette(black);

  OkBtn->setObjectName(QStringLiteral("OkBtn"));
  OkBtn->setGeometry(OkBtnPlace.left, OkBtnPlace.top, OkBtnPlace.width, OkBtnPlace.height);
  OkBtn->setDefault(true);
  OkBtn->setFocusPolicy(Qt::StrongFocus);
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
}

TWriteBar::~TWriteBar() {
  if (WriteBar == this) WriteBar = nullptr;
}

void TWriteBar::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TWriteBar::SetMessageText(const std::string& text) {
  MessageTxt->setText(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
}

void TWriteBar::RunModal() {
  OkBtn->setFocus();
  const QPointer<TWriteBar> alive(this);
  exec();
  // A program that ends stops the loop without closing the window.
  if (alive && isVisible()) reject();
}

void ShowWriteBar(const std::string& text) {
  static MessageBar bar;
  bar.Attach(WriteBar);
  bar.ShowNotice(text);
}

}  // namespace zel
