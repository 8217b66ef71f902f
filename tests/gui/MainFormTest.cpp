// The driver's status strip: captions and menu, the window commands, the About box, and the end of
// the program by every way, also while a modal window is open, inside which the link goes on
// serving (zelctl is the client).
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QWindow>

#include "ddelink/local/LocalLinkServer.h"
#include "tests/gui/DriverWindowParts.h"
#include "tests/gui/ModalDriver.h"
#include "tests/support/DriverProcess.h"

namespace zel::test {

static QStringList Texts(const QList<QAction*>& actions) {
  QStringList texts;
  for (QAction* action : actions) texts << (action->isSeparator() ? "-" : action->text());
  return texts;
}

TEST(MainWindow, IsTheZelStripOnTopAtTheTopLeftWithItsMenuAndAboutBox) {
  DriverWindowParts parts;
  EXPECT_EQ(parts.Form().windowTitle(), "ZEL");
  EXPECT_TRUE(parts.Form().windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(parts.Form().frameGeometry().topLeft(), QPoint(0, 0));
  const QList<QAction*> top = parts.Form().menuBar()->actions();
  ASSERT_EQ(Texts(top), QStringList({"&!", "&Setup"}));
  ASSERT_NE(top[0]->menu(), nullptr);
  EXPECT_EQ(Texts(top[0]->menu()->actions()), QStringList({"&About", "-", "&Close"}));
  EXPECT_EQ(top[1]->menu(), nullptr) << "\"&Setup\" acts at once";
  EXPECT_EQ(parts.Indicator(), "");
  // The About box's face is pinned by its picture (PicturesTest); its caption is not in it.
  EXPECT_EQ(parts.windows->aboutBox.windowTitle(), "About ZEL driver");
  parts.front.ZELdriverExecuteMacro({"Version"});
  EXPECT_EQ(parts.Indicator(), "2.32");
  for (const char* command : {"Hide", "Minimize"}) parts.front.ZELdriverExecuteMacro({command});
  EXPECT_FALSE(parts.Form().isVisible());
  parts.front.ZELdriverExecuteMacro({"Show"});
  EXPECT_TRUE(parts.Form().isVisible() && parts.Form().isMinimized());
}

// What is open when the driver is closed.
enum Opened { Nothing, SetupDialog, AboutBox, WarningOverSetupDialog };

TEST(MainWindow, EveryCloseDestroysThePortObjectAndEndsTheLoop) {
  const struct {
    Opened opened;
    void (*closeByHand)(TMainForm&);  // or else zelctl runs `commands`
    const char* commands;
  } table[] = {{Nothing, [](TMainForm& form) { form.Close1->trigger(); }, "menu &Close"},
               {Nothing, [](TMainForm& form) { form.windowHandle()->close(); }, "close box"},
               {Nothing, nullptr, "run Version execute Close"},
               {Nothing, nullptr, "execute Hide run Version execute Close"},
               {SetupDialog, nullptr, "run Version execute Close"},
               {AboutBox, nullptr, "run Version execute Close"},
               {WarningOverSetupDialog, nullptr, "run Version execute Close"}};
  for (const auto& row : table) {
    SCOPED_TRACE(::testing::Message() << row.opened << ": " << row.commands);
    PrivateLinkDirectory links;
    DriverWindowParts parts;
    TMainForm& form = parts.Form();
    LocalLinkServer link(parts.front.ZELdriver);
    ASSERT_TRUE(link.Register(DriverService).Ok());
    parts.front.ZELdriver.Poke(DriverItem, TextFormat, "0205 0001 12");
    QWidget* const modal =
        std::vector<QWidget*>{nullptr, form.SetupDialog(), &parts.windows->aboutBox,
                              &parts.windows->writeBar}[row.opened];
    const bool warning = row.opened == WarningOverSetupDialog;
    const bool setup = row.opened == SetupDialog || warning;
    if (row.opened != Nothing)
      QTimer::singleShot(0, setup ? form.Setup1 : form.About1, &QAction::trigger);

    // Steps the user and the client inside whatever loop runs; 30 s without an end: exit code 99.
    QProcess client;
    std::string indicatorInModal = "(never open)";
    QTimer stepper;
    QTimer::singleShot(30000, &stepper, [] { QCoreApplication::exit(99); });
    QObject::connect(&stepper, &QTimer::timeout, [&] {
      QWidget* open = QApplication::activeModalWidget();
      if (warning && open == form.SetupDialog()) {
        parts.line->OpenFails = true;  // the confirmed port will not open
        QTest::mouseClick(open->findChild<QPushButton*>("btOK"), Qt::LeftButton);
      } else if (open == modal && indicatorInModal == "(never open)") {
        indicatorInModal = parts.Indicator();
        if (row.closeByHand != nullptr)
          row.closeByHand(form);
        else
          client.start(QString::fromStdString(BuiltProgram("zelctl")),
                       QString(row.commands).split(' '));
      }
    });
    QApplication::setQuitOnLastWindowClosed(false);
    stepper.start(20);
    EXPECT_EQ(QApplication::exec(), 0);
    link.ServeWhatHasArrived(1000);  // as the program does after its loop

    EXPECT_EQ(parts.front.ComProperties(), nullptr) << "port object destroyed";
    EXPECT_FALSE(parts.line->IsOpen);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(indicatorInModal, setup ? "" : "data loaded") << "\"&Setup\" empties it first";
    EXPECT_EQ(parts.windows->writeBar.MessageTxt->text(),
              warning ? "Warning !  Can't open this resourse !" : "");
    EXPECT_EQ(parts.line->CallsOf(FakeCallKind::Open).size(), warning ? 2u : 1u)
        << "a dialog ended by the close sets nothing up";
    EXPECT_TRUE(parts.directory.Entries().empty()) << "nothing stored";
    if (row.closeByHand != nullptr) continue;
    // Only the "Close" after it ends the loop, so "Version" was served inside the open window.
    ASSERT_TRUE(client.state() == QProcess::NotRunning || client.waitForFinished(10000));
    EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
    EXPECT_EQ(client.readAllStandardOutput().toStdString(), "2.32\r\n");
  }
}

}  // namespace zel::test
