// The port setup dialog's window, shown modally and worked by keys and clicks: its captions and
// lists, and what OK, Cancel, Esc and Enter do to the settings it edits.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "driver/port/SerialDevices.h"
#include "driver/port/qt/ComPropertiesDialog.h"
#include "tests/gui/ModalDriver.h"

namespace zel {
namespace {

template <typename Items>
std::vector<std::string> Texts(const Items& items) {
  std::vector<std::string> texts;
  for (const auto& item : items) {
    if constexpr (std::is_same_v<std::decay_t<decltype(item)>, const char*>) {
      texts.push_back(item);
    } else {
      texts.push_back(item.text);
    }
  }
  return texts;
}

struct SetupWindow : ::testing::Test {
  QComboBox& Field(const char* name) {
    return *dialog.findChild<QComboBox*>(QString::fromLatin1(name));
  }
  // Runs the dialog on `settings` with the scripted user; true when it was confirmed.
  bool Edit(const std::function<void()>& user) {
    const test::ModalOutcome outcome =
        test::RunModal([this] { return dialog.Edit(settings); }, [&](QWidget&) { user(); });
    EXPECT_FALSE(outcome.timedOut);
    return outcome.confirmed;
  }
  void Type(const char* field, const QString& text) {
    QTest::mouseClick(Field(field).lineEdit(), Qt::LeftButton);
    QTest::keyClick(Field(field).lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Field(field).lineEdit(), text);
  }

  TComPropertiesDialog dialog;
  PortSettings settings = PortSettings::Defaults();
};

TEST_F(SetupWindow, ShowsItsCaptionsAndTheListsInOrder) {
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Async port configuration");
  const std::pair<const char*, const char*> labels[] = {
      {"Label2", "Port number"}, {"Label3", "Transmit speed"}, {"Label1", "Number of stop bits"},
      {"Label4", "Parity"},      {"Label5", "Latency period"}, {"Label6", "DTR control"},
      {"Label7", "RTS control"}};
  for (const auto& [name, caption] : labels) {
    EXPECT_EQ(dialog.findChild<QLabel*>(name)->text().toStdString(), caption);
  }
  std::vector<std::string> ports = Texts(PortNumberItems);
  for (const std::string& device : SerialDeviceNames()) ports.push_back(device);
  const std::pair<const char*, std::vector<std::string>> fields[] = {
      {"PortNumCBox", ports},
      {"SpeedCBox", Texts(TransferRateItems)},
      {"StopBitCBox", Texts(StopBitsItems)},
      {"ParitetCBox", Texts(ParitetItems)},
      {"PeriodCBox", Texts(LatencyPeriodItems)},
      {"DTRcontrolCBox", Texts(LineControlItems)},
      {"RTScontrolCBox", Texts(LineControlItems)},
  };
  for (const auto& [name, items] : fields) {
    std::vector<std::string> shown;
    for (int i = 0; i < Field(name).count(); ++i) shown.push_back(Field(name).itemText(i).toStdString());
    EXPECT_EQ(shown, items) << name;
  }
  EXPECT_EQ(Texts(ParitetItems), (std::vector<std::string>{"None", "Even", "Odd", "Mark", "Space"}));
  EXPECT_EQ(dialog.findChild<QPushButton*>("btOK")->text(), QStringLiteral("OK"));
  EXPECT_EQ(dialog.findChild<QPushButton*>("btCancel")->text(), QStringLiteral("Cancel"));
}

TEST_F(SetupWindow, OkTakesWhatWasTypedAndKeepsTheBytesOfFieldsLeftAlone) {
  settings.PortNumber = "COM\xE9";  // not valid in this machine's 8-bit encoding of names
  settings.Paritet = "odd one";     // outside its list
  EXPECT_TRUE(Edit([&] {
    QWidget* focused = QApplication::focusWidget();
    EXPECT_TRUE(focused == &Field("PortNumCBox") || Field("PortNumCBox").isAncestorOf(focused));
    EXPECT_EQ(Field("ParitetCBox").currentText(), QStringLiteral("odd one"));
    Type("SpeedCBox", QStringLiteral("57600 baud"));
    QTest::keyClick(Field("SpeedCBox").lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "Enter in a field ended the dialog";
    QTest::mouseClick(dialog.findChild<QPushButton*>("btOK"), Qt::LeftButton);
  }));
  EXPECT_EQ(settings.TransferRate, "57600 baud");
  EXPECT_EQ(settings.PortNumber, "COM\xE9");
  EXPECT_EQ(settings.Paritet, "odd one");
  EXPECT_EQ(Field("SpeedCBox").count(), static_cast<int>(TransferRateItems.size()));
}

TEST_F(SetupWindow, CancelEscAndDestructionLeaveTheSettingsAlone) {
  for (const bool viaEsc : {false, true}) {
    EXPECT_FALSE(Edit([&] {
      Type("DTRcontrolCBox", QStringLiteral("Disable"));
      if (viaEsc) QTest::keyClick(Field("DTRcontrolCBox").lineEdit(), Qt::Key_Escape);
      else QTest::mouseClick(dialog.findChild<QPushButton*>("btCancel"), Qt::LeftButton);
    }));
    EXPECT_EQ(settings.DTRControl, "HandShake");
  }
  auto* owned = new TComPropertiesDialog;
  QPointer<TComPropertiesDialog> watched = owned;
  EXPECT_FALSE(test::RunModal([&] { return owned->Edit(settings); }, [owned](QWidget&) { delete owned; })
                   .confirmed);
  EXPECT_TRUE(watched.isNull());
}

}  // namespace
}  // namespace zel
