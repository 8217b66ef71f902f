// The message bar: its frame and controls, what ShowWriteBar shows and when it returns, and the
// notices of the settings carrier that reach it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <string>
#include <vector>

#include "common/qt/WriteBar.h"
#include "driver/port/PortSettings.h"
#include "tests/gui/ModalDriver.h"

namespace zel::test {
namespace {

class MessageBar : public ::testing::Test {
 protected:
  MessageBar() { WriteBar = &bar; }

  // Calls ShowWriteBar(text); `user` runs while the bar is open.
  ModalOutcome Show(const std::string& text, const std::function<void()>& user) {
    return RunModal(
        [&text, this] {
          ShowWriteBar(text);
          return bar.result() == QDialog::Accepted;
        },
        [&user](QWidget&) { user(); });
  }
  void PressOk() { QTest::mouseClick(bar.OkBtn, Qt::LeftButton); }

  TWriteBar bar;
};

TEST_F(MessageBar, IsAFixedAlwaysOnTopDialogWithoutSystemMenuOrCloseBox) {
  EXPECT_EQ(bar.windowTitle(), QString::fromLatin1("Press \"OK\" to continue"));
  EXPECT_EQ(bar.size(), QSize(389, 107));
  EXPECT_EQ(bar.minimumSize(), bar.maximumSize());
  const Qt::WindowFlags flags = bar.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(flags & Qt::CustomizeWindowHint) << "without it the platform adds its own boxes";
  for (Qt::WindowType absent :
       {Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint,
        Qt::WindowMaximizeButtonHint, Qt::WindowContextHelpButtonHint})
    EXPECT_FALSE(flags & absent) << absent;
  EXPECT_FALSE(bar.isVisible()) << "hidden until the first message";
}

// A long text wraps onto centred lines; only the button takes the keyboard.
TEST_F(MessageBar, WrapsCentredTextAndOnlyTheButtonTakesFocus) {
  EXPECT_TRUE(bar.MessageTxt->wordWrap());
  EXPECT_TRUE(bar.MessageTxt->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(bar.OkBtn->text(), QString::fromLatin1("OK"));
  for (QWidget* child : bar.findChildren<QWidget*>()) {
    EXPECT_EQ(child->focusPolicy() != Qt::NoFocus, child == bar.OkBtn)
        << child->objectName().toStdString();
  }
}

TEST_F(MessageBar, ShowsTheTextModallyCentredOnTheScreenUntilOkIsPressed) {
  bool sawIt = false;
  const auto outcome = Show("Can't store current configuration !", [&] {
    sawIt = true;
    EXPECT_EQ(QApplication::activeModalWidget(), &bar);
    EXPECT_EQ(bar.MessageTxt->text(), QString::fromLatin1("Can't store current configuration !"));
    EXPECT_EQ(bar.focusWidget(), bar.OkBtn);
    EXPECT_EQ(bar.size(), QSize(389, 107)) << "the text must not change the window";
    const QRect screen = bar.screen()->availableGeometry();
    EXPECT_LE((bar.frameGeometry().center() - screen.center()).manhattanLength(), 2)
        << "frame at " << bar.frameGeometry().x() << "," << bar.frameGeometry().y();
    PressOk();
  });
  EXPECT_TRUE(sawIt);
  EXPECT_FALSE(outcome.leftOpen);
  EXPECT_TRUE(outcome.confirmed) << "OK closes with the result OK";
}

TEST_F(MessageBar, EscapeLeavesItOpenOnlyOkEndsIt) {
  const auto outcome = Show("Warning !  Can't open this resourse !", [&] {
    QTest::keyClick(bar.OkBtn, Qt::Key_Escape);
    EXPECT_TRUE(bar.isVisible());
    QTest::keyClick(bar.OkBtn, Qt::Key_Space);  // the focused button, pressed from the keyboard
  });
  EXPECT_FALSE(outcome.leftOpen);
  EXPECT_TRUE(outcome.confirmed);
}

TEST_F(MessageBar, EachCallShowsItsOwnTextEvenAnEmptyOne) {
  std::vector<QString> seen;
  for (const std::string text : {"2.32", "Fail", ""}) {
    const auto outcome = Show(text, [&] {
      seen.push_back(bar.MessageTxt->text());
      PressOk();
    });
    EXPECT_FALSE(outcome.leftOpen);
  }
  EXPECT_EQ(seen, (std::vector<QString>{"2.32", "Fail", ""}));
  EXPECT_EQ(bar.MessageTxt->text(), QString()) << "the last text stays until the next call";
}

TEST_F(MessageBar, ShowsTheTextAsItStandsNotAsMarkup) {
  const std::string text = "<b>1 & 2</b>";
  Show(text, [&] {
    EXPECT_EQ(bar.MessageTxt->textFormat(), Qt::PlainText);
    EXPECT_EQ(bar.MessageTxt->text(), QString::fromLatin1(text.c_str()));
    PressOk();
  });
}

TEST_F(MessageBar, ACallWhileItIsOpenAddsItsTextAndReturnsAtOnce) {
  bool innerReturned = false;
  Show("first", [&] {
    ShowWriteBar("second");
    innerReturned = true;
    EXPECT_EQ(bar.MessageTxt->text(), QString::fromLatin1("first\nsecond"));
    PressOk();
  });
  EXPECT_TRUE(innerReturned);
}

TEST_F(MessageBar, ANoticeOfTheSettingsCarrierReachesTheBar) {
  WriteBarNotice notice;
  // A directory that does not exist: the file cannot be written.
  PortSettingsCarrier carrier("/nonexistent-zel-directory/", notice);
  bool shown = false;
  RunModal(
      [&] {
        carrier.StoreConfiguration(ConfigurationFileName);
        return true;
      },
      [&](QWidget& modal) {
        shown = &modal == &bar;
        EXPECT_EQ(bar.MessageTxt->text(), QString::fromLatin1(CantStoreConfigurationText));
        PressOk();
      });
  EXPECT_TRUE(shown);
}

TEST(MessageBarAbsent, TextGoesToStandardErrorAndTheCallReturns) {
  ASSERT_EQ(WriteBar, nullptr);
  ::testing::internal::CaptureStderr();
  ShowWriteBar("Can't store current configuration !");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "message: Can't store current configuration !\n");
}

TEST(MessageBarInstance, IsForgottenWhenDestroyed) {
  {
    TWriteBar bar;
    WriteBar = &bar;
  }
  EXPECT_EQ(WriteBar, nullptr);
}

}  // namespace
}  // namespace zel::test
