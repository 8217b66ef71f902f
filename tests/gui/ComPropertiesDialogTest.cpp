// The port setup dialog's window, shown modally and worked by keys and clicks: what OK, Cancel,
// Esc and Enter do to the settings it edits.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <string>

#include "driver/port/qt/ComPropertiesDialog.h"
#include "tests/gui/ModalDriver.h"

namespace zel {
namespace {

struct SetupWindow : ::testing::Test {
  QComboBox& Field(const char* name) {
    return *dialog.findChild<QComboBox*>(QString::fromLatin1(name));
  }
  // Runs the dialog on `settings` with the scripted user; true when it was confirmed.
  bool Edit(const std::function<void()>& user) {
    const test::ModalOutcome outcome =
        test::RunModal([this] { return dialog.Logic.Edit(settings); }, [&](QWidget&) { user(); });
    EXPECT_FALSE(outcome.timedOut);
    return outcome.confirmed;
  }

  TComPropertiesDialog dialog;
  PortSettings settings = PortSettings::Defaults();
};

// Cancel and Esc leave the settings alone; OK takes what was typed and keeps the bytes of the
// fields left as they were; Enter in a field does not end the dialog.
TEST_F(SetupWindow, OnlyOkTakesTheFieldsOver) {
  settings.PortNumber = "COM\xE9";  // not valid in this machine's 8-bit encoding of names
  settings.Paritet = "odd one";     // outside its list
  for (const char* end : {"btCancel", "Esc", "btOK"}) {
    const bool confirmed = Edit([&] {
      QWidget* focused = QApplication::focusWidget();
      EXPECT_TRUE(focused == &Field("PortNumCBox") || Field("PortNumCBox").isAncestorOf(focused));
      EXPECT_EQ(Field("ParitetCBox").currentText(), QStringLiteral("odd one"));
      EXPECT_EQ(dialog.geometry().center(), dialog.screen()->geometry().center()) << "centred";
      QLineEdit* speed = Field("SpeedCBox").lineEdit();
      QTest::mouseClick(speed, Qt::LeftButton);
      QTest::keyClick(speed, Qt::Key_A, Qt::ControlModifier);  // the user types over the text
      QTest::keyClicks(speed, QStringLiteral("57600 baud"));
      QTest::keyClick(Field("SpeedCBox").lineEdit(), Qt::Key_Return);
      EXPECT_TRUE(dialog.isVisible()) << "Enter in a field ended the dialog";
      if (std::string(end) == "Esc")
        QTest::keyClick(Field("SpeedCBox").lineEdit(), Qt::Key_Escape);
      else
        QTest::mouseClick(dialog.findChild<QPushButton*>(end), Qt::LeftButton);
    });
    EXPECT_EQ(confirmed, std::string(end) == "btOK");
    EXPECT_EQ(settings.TransferRate, confirmed ? "57600 baud" : "75 baud") << end;
  }
  EXPECT_EQ(settings.PortNumber, "COM\xE9");
  EXPECT_EQ(settings.Paritet, "odd one");
  EXPECT_EQ(Field("SpeedCBox").count(), 17) << "typed texts are not added to the list";
  auto* owned = new TComPropertiesDialog;
  QPointer<TComPropertiesDialog> watched = owned;
  EXPECT_FALSE(test::RunModal([&] { return owned->Logic.Edit(settings); },
                              [owned](QWidget&) { delete owned; })
                   .confirmed);
  EXPECT_TRUE(watched.isNull()) << "a dialog destroyed while shown reports cancelled";
}

}  // namespace
}  // namespace zel
