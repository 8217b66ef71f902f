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

#include "driver/port/SerialDevices.h"

namespace zel {

namespace {

// The texts are 8-bit, in the encoding the system uses for names (on Windows its ANSI code
// page): the port name is handed to the system as it stands.
QString FromEightBit(const std::string& text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToEightBit(const QString& text) { return text.toLocal8Bit().toStdString(); }

QStringList ItemsOf(SetupField field) {
  QStringList list;
  for (const std::string& item : SetupFieldItems(field, SerialDeviceNames()))
    list << FromEightBit(item);
  return list;
}

// The text as the field's own, with the list's entry current when there is one.
void ShowText(QComboBox& box, const QString& text) {
  box.setCurrentIndex(box.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
  box.setEditText(text);
}

}  // namespace

TComPropertiesDialog::TComPropertiesDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      scale_(logicalDpiY() / double(SetupDesignDpi)) {
  setWindowTitle(QString::fromLatin1(SetupDialogCaption));
  QFont font(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(Scaled(SetupFontPixels));
  setFont(font);
  setFixedSize(Scaled(SetupClientWidth), Scaled(SetupClientHeight));

  // The fields' own names, in the order of SetupField.
  const char* const names[] = {"PortNumCBox", "SpeedCBox",      "StopBitCBox",   "ParitetCBox",
                               "PeriodCBox",  "DTRcontrolCBox", "RTScontrolCBox"};
  for (int i = 0; i < SetupFieldCount; ++i) {
    const SetupFieldLayout& layout = SetupFieldLayouts[i];
    auto* label = new QLabel(QString::fromLatin1(layout.label), this);
    label->setObjectName(QStringLiteral("Label%1").arg(layout.labelNumber));
    label->adjustSize();
    label->move(Scaled(layout.labelLeft), Scaled(layout.labelTop));
    fields_[i] = AddField(names[i], layout.field);
  }
  QPushButton* ok = AddButton("btOK", "OK", SetupOkPlace);
  QPushButton* cancel = AddButton("btCancel", "Cancel", SetupCancelPlace);
  QComboBox *portNum = fields_[0], *speed = fields_[1], *stopBits = fields_[2],
            *paritet = fields_[3], *period = fields_[4], *dtr = fields_[5], *rts = fields_[6];
  for (int i = 0; i < SetupFieldCount; ++i) {
    fields_[i]->addItems(ItemsOf(static_cast<SetupField>(i)));
    fields_[i]->setCurrentIndex(-1);  // the texts start empty, not at the first item
  }

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

QComboBox* TComPropertiesDialog::AddField(const char* name, const SetupPlace& place) {
  auto* box = new QComboBox(this);
  box->setObjectName(QString::fromLatin1(name));
  box->setEditable(true);
  // Enter must neither add the typed text to the list nor have it completed into an item: the
  // text stands as typed.
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setCompleter(nullptr);
  box->setGeometry(Scaled(place.left), Scaled(place.top), Scaled(place.width),
                   Scaled(place.height));
  return box;
}

QPushButton* TComPropertiesDialog::AddButton(const char* name, const char* caption,
                                             const SetupPlace& place) {
  auto* button = new QPushButton(QString::fromLatin1(caption), this);
  button->setObjectName(QString::fromLatin1(name));
  // No default button: Enter in a field must not end the dialog. QDialog would otherwise make
  // the first auto-default button the default when shown.
  button->setAutoDefault(false);
  button->setDefault(false);
  button->setGeometry(Scaled(place.left), Scaled(place.top), Scaled(place.width),
                      Scaled(place.height));
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

void TComPropertiesDialog::SetFieldTexts(const SetupFieldTexts& texts) {
  for (int i = 0; i < SetupFieldCount; ++i) ShowText(*fields_[i], FromEightBit(texts[i]));
}

SetupFieldTexts TComPropertiesDialog::FieldTexts() const {
  SetupFieldTexts texts;
  for (int i = 0; i < SetupFieldCount; ++i) texts[i] = ToEightBit(fields_[i]->currentText());
  return texts;
}

bool TComPropertiesDialog::RunModal() {
  CentreOnScreen();
  fields_[int(SetupField::PortNumber)]->setFocus(Qt::OtherFocusReason);
  // exec() answers Rejected also when the window was destroyed inside its loop.
  return exec() == QDialog::Accepted;
}

}  // namespace zel
