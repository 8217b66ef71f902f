// The driver's main window: its frame, strip and menu, what the status indicator shows, the
// window commands, the setup dialog and the About box.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <string>
#include <vector>

#include "driver/front/AboutBox.h"
#include "driver/port/ComPropertiesDialog.h"
#include "tests/gui/DriverWindowParts.h"
#include "tests/gui/ModalDriver.h"

namespace zel::testing {
namespace {

class MainWindow : public ::testing::Test {
 protected:
  void ShowWindow() {
    parts.form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(parts.form.get()));
  }
  TMainForm& form() { return *parts.form; }

  DriverWindowParts parts;
};

TEST_F(MainWindow, IsAFixedAlwaysOnTopStripWithOnlyTheSystemMenuBox) {
  EXPECT_EQ(form().windowTitle(), QString::fromLatin1("ZEL"));
  const Qt::WindowFlags flags = form().windowFlags();
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_TRUE(flags & Qt::CustomizeWindowHint) << "without it the platform adds its own boxes";
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  ShowWindow();
  EXPECT_EQ(form().centralWidget()->size(), QSize(128, 22)) << "client area below the menu";
  EXPECT_EQ(form().size(), QSize(128, form().menuBar()->height() + 22));
  EXPECT_EQ(form().minimumSize(), form().maximumSize()) << "not resizable";
  EXPECT_EQ(form().font().pixelSize(), 13);
  EXPECT_EQ(form().toolTip(), QString::fromLatin1("ZEL driver"));
}

TEST_F(MainWindow, OpensAtTheTopLeftCornerOfTheScreen) {
  // Placed by creation itself, not left to the platform's choice.
  EXPECT_TRUE(form().testAttribute(Qt::WA_Moved));
  EXPECT_EQ(form().pos(), QPoint(0, 0));
  ShowWindow();
  EXPECT_EQ(form().frameGeometry().topLeft(), QPoint(0, 0));
}

TEST_F(MainWindow, BlackPanelHoldsTheEmptyTealIndicator) {
  ShowWindow();
  EXPECT_EQ(form().Panel1->geometry(), QRect(0, 0, 128, 20));
  EXPECT_EQ(form().Panel1->frameShadow(), QFrame::Sunken);
  EXPECT_EQ(form().Panel1->palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(form().TextIndicator->parentWidget(), form().Panel1);
  EXPECT_EQ(form().TextIndicator->pos(), QPoint(1, 1));
  EXPECT_EQ(form().TextIndicator->text(), QString());
  EXPECT_TRUE(form().TextIndicator->font().bold());
  EXPECT_EQ(form().TextIndicator->font().pixelSize(), 13);
  EXPECT_EQ(form().TextIndicator->palette().color(QPalette::WindowText), QColor(0, 128, 128));
  EXPECT_TRUE(form().TextIndicator->toolTip().isEmpty()) << "no hint of its own";
}

TEST_F(MainWindow, MenuHasExclamationWithAboutAndCloseBesideADirectSetup) {
  const QList<QAction*> top = form().menuBar()->actions();
  ASSERT_EQ(top.size(), 2);
  EXPECT_EQ(top[0]->text(), QString::fromLatin1("&!"));
  ASSERT_NE(top[0]->menu(), nullptr);
  EXPECT_EQ(top[1]->text(), QString::fromLatin1("&Setup"));
  EXPECT_EQ(top[1]->menu(), nullptr) << "acts at once, without a submenu";
  const QList<QAction*> entries = top[0]->menu()->actions();
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[0]->text(), QString::fromLatin1("&About"));
  EXPECT_TRUE(entries[1]->isSeparator());
  EXPECT_EQ(entries[2]->text(), QString::fromLatin1("&Close"));
}

TEST_F(MainWindow, CreationOpensThePortFromTheSettingsFile) {
  EXPECT_EQ(parts.line->OpenName, "COM2");
  ASSERT_NE(parts.front.ComProperties(), nullptr);
  EXPECT_TRUE(parts.front.ComProperties()->IsPortConfigured);
  EXPECT_EQ(parts.front.ComProperties()->SetupDialog, form().SetupDialog());
  EXPECT_EQ(form().SetupDialog()->parent(), &form()) << "owned by the window";
  EXPECT_FALSE(form().SetupDialog()->isVisible());
  EXPECT_EQ(parts.front.Frames.SendLength, 0);
  EXPECT_EQ(parts.front.Frames.ReplyLength, 0);
}

TEST(MainWindowWithoutPort, ComesUpAllTheSameAndSaysFail) {
  DriverWindowParts parts("COM2", /*portOpens=*/false);
  parts.form->show();
  EXPECT_TRUE(parts.form->isVisible());
  parts.Execute("PortState");
  EXPECT_EQ(parts.Item(), "Fail\r\n");
  EXPECT_EQ(parts.Indicator(), "Fail");
}

struct IndicatorCase {
  const char* legend;
  std::vector<std::string> commands;  // "poke:TEXT" pokes, anything else is executed
  std::string shown;
};

class IndicatorShows : public ::testing::TestWithParam<IndicatorCase> {};

TEST_P(IndicatorShows, WhatTheFrontSaysSizedToTheTextAndEchoed) {
  DriverWindowParts parts;
  parts.form->show();
  for (const std::string& command : GetParam().commands) {
    if (command.rfind("poke:", 0) == 0)
      parts.Poke(command.substr(5));
    else
      parts.Execute(command);
  }
  EXPECT_EQ(parts.Indicator(), GetParam().shown);
  EXPECT_EQ(parts.echo.Last(), GetParam().shown) << "the echo sees every text too";
  QLabel& label = *parts.form->TextIndicator;
  EXPECT_EQ(label.width(), label.sizeHint().width()) << "sized to its text";
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, IndicatorShows,
    ::testing::Values(IndicatorCase{"poke", {"poke:0205 0001 1234AB"}, "data loaded"},
                      IndicatorCase{"version", {"Version"}, "2.32"},
                      IndicatorCase{"port state", {"PortState"}, "OK"},
                      IndicatorCase{"clear empties", {"Version", "Clear"}, ""},
                      IndicatorCase{"receive with nothing", {"Receive"}, "no answer"},
                      IndicatorCase{"dump of nothing", {"ReceiveDump"}, "received 0b"},
                      IndicatorCase{"unknown word leaves it", {"Version", "version"}, "2.32"}),
    [](const ::testing::TestParamInfo<IndicatorCase>& tested) {
      std::string name;
      for (char c : std::string(tested.param.legend)) name += std::isalnum(c) ? c : '_';
      return name;
    });

TEST_F(MainWindow, SetupEmptiesTheIndicatorThenShowsTheDialogAndCancelAppliesNothing) {
  ShowWindow();
  parts.Poke("0205 0001 12");
  ASSERT_EQ(parts.Indicator(), "data loaded");
  const std::string iniBefore = parts.directory.Read("ZELdrv.ini");
  std::string indicatorMeanwhile = "(not seen)";
  QWidget* shown = nullptr;
  const ModalOutcome outcome = RunModal(
      [this] {
        form().Setup1->trigger();
        return false;
      },
      [&](QWidget& modal) {
        shown = &modal;
        indicatorMeanwhile = parts.Indicator();
        QTest::mouseClick(modal.findChild<QPushButton*>("btCancel"), Qt::LeftButton);
      });
  EXPECT_FALSE(outcome.timedOut);
  EXPECT_FALSE(outcome.leftOpen);
  EXPECT_EQ(shown, form().SetupDialog());
  EXPECT_EQ(indicatorMeanwhile, "");
  EXPECT_EQ(parts.line->CallsOf(FakeCallKind::Open).size(), 1u) << "the port was not set up anew";
  EXPECT_EQ(parts.directory.Read("ZELdrv.ini"), iniBefore);
}

TEST_F(MainWindow, AboutShowsTheAboutBoxModally) {
  TAboutBox about;
  AboutBox = &about;
  QWidget* shown = nullptr;
  const ModalOutcome outcome = RunModal(
      [this] {
        form().About1->trigger();
        return true;
      },
      [&](QWidget& modal) {
        shown = &modal;
        QTest::mouseClick(about.OKButton, Qt::LeftButton);
      });
  EXPECT_FALSE(outcome.leftOpen);
  EXPECT_EQ(shown, &about);
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(AboutBoxLooks, TitlePictureReleaseAndDefaultOk) {
  TAboutBox about;
  EXPECT_EQ(about.windowTitle(), QString::fromLatin1("About ZEL driver"));
  const Qt::WindowFlags flags = about.windowFlags();
  EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
  for (Qt::WindowType absent :
       {Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint,
        Qt::WindowMaximizeButtonHint, Qt::WindowContextHelpButtonHint})
    EXPECT_FALSE(flags & absent) << absent;
  EXPECT_EQ(about.minimumSize(), about.maximumSize()) << "fixed dialog border";
  EXPECT_EQ(about.ProductName->text(), QString::fromLatin1("ZEL driver"));
  EXPECT_EQ(about.Version->text(), QString::fromLatin1("Release 2.32  (32 bit)"));
  EXPECT_EQ(about.ProgramIcon->pixmap().size(), QSize(100, 100));
  const QImage picture = about.ProgramIcon->pixmap().toImage();
  EXPECT_NE(picture.pixel(50, 50), picture.pixel(0, 0)) << "something is drawn";
  EXPECT_EQ(about.Panel1->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_NE(about.Panel1->frameShape(), QFrame::NoFrame) << "bevelled";
  for (QWidget* onPanel :
       {static_cast<QWidget*>(about.ProgramIcon), static_cast<QWidget*>(about.ProductName),
        static_cast<QWidget*>(about.Version)}) {
    EXPECT_EQ(onPanel->parentWidget(), about.Panel1);
    EXPECT_TRUE(about.Panel1->rect().contains(onPanel->geometry()))
        << onPanel->objectName().toStdString();
  }
  EXPECT_EQ(about.OKButton->text(), QString::fromLatin1("OK"));
  EXPECT_TRUE(about.OKButton->isDefault());
  EXPECT_GT(about.OKButton->y(), about.Panel1->geometry().bottom()) << "below the panel";
}

TEST(AboutBoxLooks, OpensCentredOnTheScreenAndEnterPressesOk) {
  TAboutBox about;
  QRect frame;
  const ModalOutcome outcome = RunModal([&] { return about.exec() == QDialog::Accepted; },
                                        [&](QWidget&) {
                                          frame = about.frameGeometry();
                                          QTest::keyClick(&about, Qt::Key_Return);
                                        });
  EXPECT_TRUE(outcome.confirmed);
  EXPECT_FALSE(outcome.leftOpen);
  const QRect screen = about.screen()->availableGeometry();
  EXPECT_LE((frame.center() - screen.center()).manhattanLength(), 2);
}

struct StateCase {
  const char* legend;
  std::vector<std::string> commands;
  bool visible;
  bool minimized;
};

class WindowCommands : public ::testing::TestWithParam<StateCase> {};

TEST_P(WindowCommands, HiddenStaysHiddenUntilShowWhichRestoresTheRememberedState) {
  DriverWindowParts parts;
  parts.form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(parts.form.get()));
  for (const std::string& command : GetParam().commands) {
    parts.Execute(command);
    QApplication::processEvents();
  }
  EXPECT_EQ(parts.form->isVisible(), GetParam().visible);
  EXPECT_EQ(parts.form->isMinimized(), GetParam().minimized);
  EXPECT_EQ(parts.Item(), "") << "window commands leave the item alone";
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, WindowCommands,
    ::testing::Values(
        StateCase{"hide", {"Hide"}, false, false},
        StateCase{"hide then normal size", {"Hide", "NormalSize"}, false, false},
        StateCase{"hide then minimize", {"Hide", "Minimize"}, false, false},
        StateCase{"hide minimize show", {"Hide", "Minimize", "Show"}, true, true},
        StateCase{
            "hide minimize normal show", {"Hide", "Minimize", "NormalSize", "Show"}, true, false},
        StateCase{"minimize", {"Minimize"}, true, true},
        StateCase{"minimize normal size", {"Minimize", "NormalSize"}, true, false},
        StateCase{"minimize hide", {"Minimize", "Hide"}, false, true},
        StateCase{
            "minimize hide normal show", {"Minimize", "Hide", "NormalSize", "Show"}, true, false},
        StateCase{"minimize hide show", {"Minimize", "Hide", "Show"}, true, true},
        StateCase{"hide hide show", {"Hide", "Hide", "Show"}, true, false},
        StateCase{"show when shown", {"Show"}, true, false}),
    [](const ::testing::TestParamInfo<StateCase>& tested) {
      std::string name;
      for (char c : std::string(tested.param.legend)) name += std::isalnum(c) ? c : '_';
      return name;
    });

TEST_F(MainWindow, ShowBringsTheWindowBackAsTheActiveOne) {
  ShowWindow();
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  parts.Execute("Hide");
  parts.Execute("Show");
  EXPECT_TRUE(QTest::qWaitForWindowActive(parts.form.get()));
  EXPECT_EQ(QApplication::activeWindow(), parts.form.get());
}

}  // namespace
}  // namespace zel::testing
