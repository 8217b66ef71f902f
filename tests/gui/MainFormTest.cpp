// The driver's main window: its frame, strip and menu, what the status indicator shows, the
// window commands, the setup dialog and the About box.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <string>
#include <vector>

#include "driver/front/qt/AboutBox.h"
#include "driver/port/qt/ComPropertiesDialog.h"
#include "tests/gui/DriverWindowParts.h"
#include "tests/gui/ModalDriver.h"

namespace zel::test {
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
  // Without CustomizeWindowHint the platform adds its own boxes.
  for (Qt::WindowType present : {Qt::WindowStaysOnTopHint, Qt::WindowSystemMenuHint,
                                 Qt::WindowCloseButtonHint, Qt::CustomizeWindowHint})
    EXPECT_TRUE(flags & present) << present;
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  ShowWindow();
  EXPECT_EQ(form().centralWidget()->size(), QSize(128, 22)) << "client area below the menu";
  EXPECT_EQ(form().size(), QSize(128, form().menuBar()->height() + 22));
  EXPECT_EQ(form().minimumSize(), form().maximumSize()) << "not resizable";
  EXPECT_EQ(form().toolTip(), QString::fromLatin1("ZEL driver"));
}

TEST_F(MainWindow, OpensAtTheTopLeftCornerOfTheScreen) {
  ShowWindow();
  EXPECT_EQ(form().frameGeometry().topLeft(), QPoint(0, 0));
}

TEST_F(MainWindow, BlackPanelHoldsTheEmptyTealIndicator) {
  EXPECT_EQ(form().Panel1->palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(form().TextIndicator->parentWidget(), form().Panel1);
  EXPECT_EQ(form().TextIndicator->text(), QString());
  EXPECT_TRUE(form().TextIndicator->font().bold());
  EXPECT_EQ(form().TextIndicator->palette().color(QPalette::WindowText), QColor(0, 128, 128));
}

TEST_F(MainWindow, MenuHasExclamationWithAboutAndCloseBesideADirectSetup) {
  const auto texts = [](const QList<QAction*>& actions) {
    QStringList list;
    for (QAction* action : actions) list << (action->isSeparator() ? "-" : action->text());
    return list;
  };
  const QList<QAction*> top = form().menuBar()->actions();
  ASSERT_EQ(texts(top), QStringList({"&!", "&Setup"}));
  ASSERT_NE(top[0]->menu(), nullptr);
  EXPECT_EQ(top[1]->menu(), nullptr) << "acts at once, without a submenu";
  EXPECT_EQ(texts(top[0]->menu()->actions()), QStringList({"&About", "-", "&Close"}));
}

TEST_F(MainWindow, CreationOpensThePortFromTheSettingsFile) {
  EXPECT_EQ(parts.line->OpenName, "COM2");
  ASSERT_NE(parts.front.ComProperties(), nullptr);
  EXPECT_TRUE(parts.front.ComProperties()->IsPortConfigured);
  EXPECT_EQ(parts.front.ComProperties()->SetupDialog, form().SetupDialog());
  EXPECT_EQ(form().SetupDialog()->parent(), &form()) << "owned by the window";
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
                      IndicatorCase{"clear empties", {"Version", "Clear"}, ""},
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
  const QImage picture = about.ProgramIcon->pixmap().toImage();
  EXPECT_EQ(picture.size(), QSize(100, 100));
  EXPECT_NE(picture.pixel(50, 50), picture.pixel(0, 0)) << "something is drawn";
  EXPECT_EQ(about.OKButton->text(), QString::fromLatin1("OK"));
  EXPECT_TRUE(about.OKButton->isDefault());
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
        // Hidden stays hidden through NormalSize and Minimize, which are remembered for Show.
        StateCase{"hide", {"Hide"}, false, false},
        StateCase{"hide then normal size", {"Hide", "NormalSize"}, false, false},
        StateCase{"hide then minimize", {"Hide", "Minimize"}, false, false},
        StateCase{"hide minimize show", {"Hide", "Minimize", "Show"}, true, true},
        StateCase{
            "minimize hide normal show", {"Minimize", "Hide", "NormalSize", "Show"}, true, false},
        StateCase{"minimize normal size", {"Minimize", "NormalSize"}, true, false},
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
}  // namespace zel::test
