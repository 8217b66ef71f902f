#include "common/qt/WriteBar.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <cstdio>

namespace zel {

TWriteBar* WriteBar = nullptr;

namespace {

// Pixels as they stand, whatever the screen's resolution.
constexpr int ClientWidth = 389;
constexpr int ClientHeight = 107;
constexpr int MessagePixels = 17;

QString FromEightBit(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TWriteBar::TWriteBar(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      MessageTxt(new QLabel(this)),
      OkBtn(new QPushButton(QStringLiteral("OK"), this)) {
  setObjectName(QStringLiteral("WriteBar"));
  setWindowTitle(QStringLiteral("Press \"OK\" to continue"));
  setModal(true);
  setFixedSize(ClientWidth, ClientHeight);

  MessageTxt->setObjectName(QStringLiteral("MessageTxt"));
  MessageTxt->setGeometry(4, 4, 381, 61);
  MessageTxt->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  MessageTxt->setWordWrap(true);
  MessageTxt->setTextFormat(Qt::PlainText);
  MessageTxt->setFocusPolicy(Qt::NoFocus);
  QFont messageFont(QStringLiteral("Sans Serif"));
  messageFont.setStyleHint(QFont::SansSerif);
  messageFont.setPixelSize(MessagePixels);
  MessageTxt->setFont(messageFont);
  QPalette black = MessageTxt->palette();
  black.setColor(QPalette::WindowText, Qt::black);
  MessageTxt->setPalette(black);

  OkBtn->setObjectName(QStringLiteral("OkBtn"));
  OkBtn->setGeometry(156, 72, 81, 29);
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

void ShowWriteBar(const std::string& text) {
  TWriteBar* bar = WriteBar;
  if (bar == nullptr) {
    // Nothing to show it in: start-up has not got that far, or the program is ending.
    std::fprintf(stderr, "message: %s\n", text.c_str());
    std::fflush(stderr);
    return;
  }
  if (bar->isVisible()) {
    // Its caller is still waiting for the user, who now acknowledges both texts at once.
    bar->MessageTxt->setText(bar->MessageTxt->text() + QLatin1Char('\n') + FromEightBit(text));
    return;
  }
  bar->MessageTxt->setText(FromEightBit(text));
  bar->OkBtn->setFocus();
  bar->exec();
  // A program that ends stops the loop without closing the window.
  if (bar->isVisible()) bar->reject();
}

}  // namespace zel
