#include "driver/front/qt/AboutBox.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

#include "driver/front/DriverWords.h"

namespace zel {

TAboutBox* AboutBox = nullptr;

namespace {

constexpr int ClientWidth = 298;
constexpr int ClientHeight = 209;
constexpr int PicturePixels = 100;
constexpr int FontPixels = 13;
const QColor Teal(0, 128, 128);

QFont BoxFont(int pixels, bool bold) {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

}  // namespace

// The status strip's black and teal, with a frame going down the line: a start bit, data bits,
// the stop level.
QPixmap ProgramPicture() {
  QPixmap picture(PicturePixels, PicturePixels);
  picture.fill(Qt::white);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);

  painter.setPen(QPen(QColor(64, 64, 64), 2));
  painter.setBrush(Qt::black);
  painter.drawRoundedRect(QRectF(4, 4, 92, 92), 10, 10);

  QPainterPath wave;
  const qreal high = 34;
  const qreal low = 54;
  const int levels[] = {1, 0, 1, 0, 0, 1, 1, 0, 1, 1};
  qreal x = 12;
  qreal level = high;
  wave.moveTo(x, level);
  for (int bit : levels) {
    const qreal next = bit ? high : low;
    wave.lineTo(x, next);
    x += 7.6;
    wave.lineTo(x, next);
    level = next;
  }
  wave.lineTo(88, level);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Teal, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  painter.drawPath(wave);

  painter.setPen(Qt::white);
  painter.setFont(BoxFont(20, true));
  painter.drawText(QRectF(4, 62, 92, 28), Qt::AlignCenter, QStringLiteral("ZEL"));
  return picture;
}

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      Panel1(new QFrame(this)),
      ProgramIcon(new QLabel(Panel1)),
      ProductName(new QLabel(Panel1)),
      Version(new QLabel(Panel1)),
      OKButton(new QPushButton(QStringLiteral("OK"), this)) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("About ZEL driver"));
  setModal(true);
  setFont(BoxFont(FontPixels, false));
  setFixedSize(ClientWidth, ClientHeight);

  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(8, 8, 282, 161);
  Panel1->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  Panel1->setPalette(white);

  ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
  ProgramIcon->setGeometry(12, 12, PicturePixels, PicturePixels);
  ProgramIcon->setPixmap(ProgramPicture());

  ProductName->setObjectName(QStringLiteral("ProductName"));
  ProductName->setTextFormat(Qt::PlainText);
  ProductName->setFont(BoxFont(17, true));
  ProductName->setText(QString::fromLatin1(ProgramTitle));
  ProductName->move(128, 24);
  ProductName->adjustSize();

  Version->setObjectName(QStringLiteral("Version"));
  Version->setTextFormat(Qt::PlainText);
  Version->setText(QStringLiteral("Release %1  (32 bit)").arg(QLatin1String(ReleaseNumber)));
  Version->move(128, 56);
  Version->adjustSize();

  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setGeometry(111, 176, 75, 25);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutBox::~TAboutBox() {
  if (AboutBox == this) AboutBox = nullptr;
}

}  // namespace zel
