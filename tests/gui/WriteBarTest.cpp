// The message bar's window: modal until OK, deaf to Esc, a call meanwhile adds its text.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "common/qt/WriteBar.h"
#include "tests/gui/ModalDriver.h"

namespace zel::test {

TEST(MessageBar, IsModalUntilOkAndACallMeanwhileAddsItsText) {
  TWriteBar bar;
  WriteBar = &bar;
  for (const std::string text : {"Can't store current configuration !", ""}) {
    const ModalOutcome outcome = RunModal(
        [&] {
          ShowWriteBar(text);
          return bar.result() == QDialog::Accepted;
        },
        [&](QWidget& modal) {
          EXPECT_EQ(&modal, &bar);
          EXPECT_EQ(bar.windowTitle(), "Press \"OK\" to continue");
          EXPECT_EQ(bar.MessageTxt->text().toStdString(), text) << "the earlier text is gone";
          QTest::keyClick(&bar, Qt::Key_Escape);
          EXPECT_TRUE(bar.isVisible()) << "Esc does not end it";
          ShowWriteBar("2.32");  // returns at once
          EXPECT_EQ(bar.MessageTxt->text().toStdString(), text + "\n2.32");
          QTest::mouseClick(bar.OkBtn, Qt::LeftButton);
        });
    EXPECT_FALSE(outcome.leftOpen) << "OK ends it: " << text;
    EXPECT_TRUE(outcome.confirmed) << "ShowWriteBar waits for OK";
  }
  WriteBar = nullptr;
}

}  // namespace zel::test
