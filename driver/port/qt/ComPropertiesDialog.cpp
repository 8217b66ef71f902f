#include "driver/port/qt/ComPropertiesDialog.h"

#include <QComboBox>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QStyle>
#include <cmath>
#include <utility>

#include "driver/port/SerialDevices.h"

namespace zel {

namespace {

// The window is laid out in pixels of a 120 dpi screen and scaled to the one it is shown on.
constexpr double DesignDpi = 120.0;
constexpr int ClientWidth = 322;
constexpr int ClientHeight = 277;
constexpr int FontPixels = 13;
constexpr int FieldHeight = 24;
constexpr int ButtonHeight = 33;
constexpr int NarrowField = 137;
constexpr int WideField = 305;

const char* TextOf(const char* item) { return item; }
template <typename Meaning>
const char* TextOf(const Choice<Meaning>& item) {
  return item.text;
}

template <typename Items>
QStringList ItemsOf(const Items& items) {
  QStringList list;
  for (const auto& item : items) list << QString::fromLatin1(TextOf(item));
  return list;
}

// The texts are 8-bit, in the encoding the system uses for names (on Windows its ANSI code
// page): the port name is handed to the system as it stands.
QString FromEightBit(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToEightBit(const QString& text) { return text.toLocal8Bit().toStdString(); }

// The text as the field's own, with the list's entry current when there is one.
void ShowText(QComboBox& box, const QString& text) {
  box.setCurrentIndex(box.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
  box.setEditText(text);
}

}  // namespace

TComPropertiesDialog::TComPropertiesDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      scale_(logicalDpiY() / DesignDpi) {
  setWindowTitle(QStringLiteral("Async port configuration"));
  QFont font(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(Scaled(FontPixels));
  setFont(font);
  setFixedSize(Scaled(ClientWidth), Scaled(ClientHeight));

  AddLabel("Label2", "Port number", 8, 8);
  QComboBox* portNum = AddField("PortNumCBox", 8, 24, NarrowField);
  AddLabel("Label3", "Transmit speed", 176, 8);
  QComboBox* speed = AddField("SpeedCBox", 176, 24, NarrowField);
  AddLabel("Label1", "Number of stop bits", 8, 64);
  QComboBox* stopBits = AddField("StopBitCBox", 8, 80, NarrowField);
  AddLabel("Label4", "Parity", 176, 64);
  QComboBox* paritet = AddField("ParitetCBox", 176, 80, NarrowField);
  AddLabel("Label5", "Latency period", 8, 116);
  QComboBox* period = AddField("PeriodCBox", 8, 132, WideField);
  AddLabel("Label6", "DTR control", 8, 172);
  QComboBox* dtr = AddField("DTRcontrolCBox", 8, 188, NarrowField);
  AddLabel("Label7", "RTS control", 176, 172);
  QComboBox* rts = AddField("RTScontrolCBox", 176, 188, NarrowField);
  QPushButton* ok = AddButton("btOK", "OK", 8, 236, 101);
  QPushButton* cancel = AddButton("btCancel", "Cancel", 132, 236, 181);

  // The fixed four keep their places; the adapters present follow, so that none must be typed.
  QStringList ports = ItemsOf(PortNumberItems);
  for (const std::string& device : SerialDeviceNames()) ports << FromEightBit(device);
  portNum->addItems(ports);
  speed->addItems(ItemsOf(TransferRateItems));
  stopBits->addItems(ItemsOf(StopBitsItems));
  paritet->addItems(ItemsOf(ParitetItems));
  period->addItems(ItemsOf(LatencyPeriodItems));
  dtr->addItems(ItemsOf(LineControlItems));
  rts->addItems(ItemsOf(LineControlItems));
  for (QComboBox* box : {portNum, speed, stopBits, paritet, period, dtr, rts}) {
    box->setCurrentIndex(-1);  // the texts start empty, not at the first item
  }

  fields_ = {{{portNum, &PortSettings::PortNumber},
              {speed, &PortSettings::TransferRate},
              {stopBits, &PortSettings::StopBits},
              {paritet, &PortSettings::Paritet},
              {period, &PortSettings::LatencyPeriod},
              {dtr, &PortSettings::DTRControl},
              {rts, &PortSettings::RTSControl}}};
  portNumBox_ = portNum;

  // The first row, then the buttons, then the remaining fields.
  setTabOrder(portNum, speed);
  setTabOrder(speed, ok);
  setTabOrder(ok, cancel);
  setTabOrder(cancel, stopBits);
  setTabOrder(stopBits, paritet);
  setTabOrder(paritet, period);
  setTabOrder(period, dtr);
  setTabOrder(dtr, rts);

  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QLabel* TComPropertiesDialog::AddLabel(const char* name, const char* caption, int left, int top) {
  auto* label = new QLabel(QString::fromLatin1(caption), this);
  label->setObjectName(QString::fromLatin1(name));
  label->adjustSize();
  label->move(Scaled(left), Scaled(top));
  return label;
}

QComboBox* TComPropertiesDialog::AddField(const char* name, int left, int top, int width) {
  auto* box = new QComboBox(this);
  box->setObjectName(QString::fromLatin1(name));
  box->setEditable(true);
  // Enter must neither add the typed text to the list nor have it completed into an item: the
  // text stands as typed.
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setCompleter(nullptr);
  box->setGeometry(Scaled(left), Scaled(top), Scaled(width), Scaled(FieldHeight));
  return box;
}

QPushButton* TComPropertiesDialog::AddButton(const char* name, const char* caption, int left,
                                             int top, int width) {
  auto* button = new QPushButton(QString::fromLatin1(caption), this);
  button->setObjectName(QString::fromLatin1(name));
  // No default button: Enter in a field must not end the dialog. QDialog would otherwise make
  // the first auto-default button the default when shown.
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setGeometry(Scaled(left), Scaled(top), Scaled(width), Scaled(ButtonHeight));
  return button;
}

int TComPropertiesDialog::Scaled(int designPixels) const {
  return static_cast<int>(std::lround(designPixels * scale_));
}

void TComPropertiesDialog::CentreOnScreen() {
  QWidget* owner = parentWidget();
  QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->geometry()));
}

bool TComPropertiesDialog::Edit(PortSettings& settings) {
  std::array<QString, 7> offered;
  for (size_t i = 0; i < fields_.size(); ++i) {
    offered[i] = FromEightBit(settings.*fields_[i].text);
    ShowText(*fields_[i].box, offered[i]);
  }
  CentreOnScreen();
  portNumBox_->setFocus(Qt::OtherFocusReason);

  // exec() answers Rejected also when the window was destroyed inside its loop; after that
  // nothing of this object may be touched.
  if (exec() != QDialog::Accepted) return false;

  for (size_t i = 0; i < fields_.size(); ++i) {
    const QString text = fields_[i].box->currentText();
    // A text that does not survive the round trip through the 8-bit encoding (a hand-edited
    // file in another one) is kept as it was unless the user changed it.
    if (text != offered[i]) settings.*fields_[i].text = ToEightBit(text);
  }
  return true;
}

}  // namespace zel
