// The end of the driver: "&Close", the caption's close box and the command "Close" all destroy
// the port object and end the program's loop; a "Close" that arrives over the link while a modal
// window is open ends that window as cancelled, after the link has gone on serving inside it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <string>

#include "ddelink/local/LocalLinkServer.h"
#include "driver/front/qt/AboutBox.h"
#include "driver/port/qt/ComPropertiesDialog.h"
#include "tests/gui/DriverWindowParts.h"
#include "tests/support/DriverProcess.h"

namespace zel::test {
namespace {

constexpr int SafetyMs = 30000;

// Runs the application's loop as the program does, with `start` run first inside it. A loop that
// has not ended after SafetyMs is ended with exit code 99 and every modal window rejected.
int RunProgramLoop(const std::function<void()>& start) {
  QApplication::setQuitOnLastWindowClosed(false);
  QTimer safety;
  safety.setSingleShot(true);
  QObject::connect(&safety, &QTimer::timeout, [] {
    while (QWidget* modal = QApplication::activeModalWidget()) {
      if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
      else
        modal->close();
      if (QApplication::activeModalWidget() == modal) break;
    }
    QCoreApplication::exit(99);
  });
  safety.start(SafetyMs);
  QTimer::singleShot(0, start);
  return QApplication::exec();
}

// What must hold once the driver has closed.
void ExpectEnded(DriverWindowParts& parts) {
  EXPECT_EQ(parts.front.ComProperties(), nullptr) << "port object destroyed";
  EXPECT_FALSE(parts.line->IsOpen) << "port closed";
  EXPECT_EQ(parts.line->CallsOf(FakeCallKind::Close).size(), 1u);
  EXPECT_EQ(parts.loopLevelAtClose, 1) << "closed in the program's own loop, no modal one";
  EXPECT_FALSE(parts.form->isVisible());
  EXPECT_FALSE(parts.form->SetupDialog()->isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

struct CloseWay {
  const char* legend;
  std::function<void(DriverWindowParts&)> close;
};

class EveryCloseWay : public ::testing::TestWithParam<CloseWay> {};

TEST_P(EveryCloseWay, DestroysThePortObjectAndEndsTheLoop) {
  DriverWindowParts parts;
  parts.form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(parts.form.get()));
  const int exitCode = RunProgramLoop([&parts] { GetParam().close(parts); });
  EXPECT_EQ(exitCode, 0);
  ExpectEnded(parts);
  // Whatever still arrives is not carried out.
  parts.Execute("setDTR");
  parts.Poke("0205 0001 12");
  EXPECT_EQ(parts.line->CallsOf(FakeCallKind::EscapeFunction).size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    MainWindowClose, EveryCloseWay,
    ::testing::Values(CloseWay{"menu_Close",
                               [](DriverWindowParts& p) { p.form->Close1->trigger(); }},
                      CloseWay{"caption_close_box",
                               [](DriverWindowParts& p) { p.form->windowHandle()->close(); }},
                      CloseWay{"command_Close",
                               [](DriverWindowParts& p) {
                                 p.Execute("Close");
                                 EXPECT_EQ(p.Item(), "OK\r\n");
                                 EXPECT_EQ(p.clock.slept, std::vector<int64_t>{100});
                               }},
                      CloseWay{"command_Close_while_hidden",
                               [](DriverWindowParts& p) {
                                 p.Execute("Hide");
                                 p.Execute("Close");
                               }}),
    [](const ::testing::TestParamInfo<CloseWay>& tested) {
      return std::string(tested.param.legend);
    });

// Which modal window is open when "Close" arrives.
enum class OpenModal { SetupDialog, AboutBox, MessageBarOverSetupDialog };

struct ModalCase {
  const char* legend;
  OpenModal modal;
};

class CloseDuringModal : public ::testing::TestWithParam<ModalCase> {
 protected:
  CloseDuringModal() {
    AboutBox = &about;
    WriteBar = &bar;
    std::string error;
    registered = link.Register("ZELdrv", error) == LinkServer::RegisterOutcome::Registered;
    registerError = error;
  }

  // The window that has to be open before the link is used.
  QWidget* Expected() {
    switch (GetParam().modal) {
      case OpenModal::SetupDialog:
        return parts.form->SetupDialog();
      case OpenModal::AboutBox:
        return &about;
      case OpenModal::MessageBarOverSetupDialog:
        return &bar;
    }
    return nullptr;
  }

  void OpenFromTheMenu() {
    if (GetParam().modal == OpenModal::AboutBox)
      parts.form->About1->trigger();
    else
      parts.form->Setup1->trigger();
  }

  // Called every few ms inside the modal loops: drives the user and the clients step by step.
  void Step() {
    QWidget* modal = QApplication::activeModalWidget();
    if (stage == Stage::WaitForModal && GetParam().modal == OpenModal::MessageBarOverSetupDialog &&
        modal == parts.form->SetupDialog()) {
      // The user confirms a port that will not open: the warning comes up over the dialog.
      parts.line->OpenFails = true;
      QTest::mouseClick(modal->findChild<QPushButton*>("btOK"), Qt::LeftButton);
      return;
    }
    if (stage == Stage::WaitForModal && modal == Expected()) {
      stage = Stage::VersionRunning;
      modalAtVersion = modal;
      QObject::connect(qobject_cast<QDialog*>(Expected()), &QDialog::finished, [this] {
        portObjectWhenModalEnded = parts.front.ComProperties() != nullptr;
      });
      version.start(QString::fromStdString(BuiltProgram("zelctl")),
                    {"--timeout", "10000", "run", "Version"});
    }
  }

  enum class Stage { WaitForModal, VersionRunning, CloseSent };

  PrivateLinkDirectory links;
  DriverWindowParts parts;
  LocalLinkServer link{parts.front.ZELdriver};
  TAboutBox about;
  TWriteBar bar;
  bool registered = false;
  std::string registerError;

  Stage stage = Stage::WaitForModal;
  QPointer<QWidget> modalAtVersion;
  QProcess version;
  QProcess closer;
  std::string indicatorAfterVersion;
  bool modalOpenAfterVersion = false;
  bool portObjectWhenModalEnded = false;
};

TEST_P(CloseDuringModal, LinkServesInsideItAndCloseEndsItCancelledThenTheProgram) {
  ASSERT_TRUE(registered) << registerError;
  parts.form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(parts.form.get()));
  const std::string iniBefore = parts.directory.Read("ZELdrv.ini");

  QTimer stepper;
  QObject::connect(&stepper, &QTimer::timeout, [this] { Step(); });
  QObject::connect(&version, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), [this] {
    indicatorAfterVersion = parts.Indicator();
    modalOpenAfterVersion = QApplication::activeModalWidget() == modalAtVersion;
    stage = Stage::CloseSent;
    closer.start(QString::fromStdString(BuiltProgram("zelctl")),
                 {"--timeout", "10000", "execute", "Close"});
  });
  stepper.start(20);
  const int exitCode = RunProgramLoop([this] { OpenFromTheMenu(); });
  stepper.stop();

  EXPECT_EQ(exitCode, 0) << "99: the loop had to be ended by the safety timer";
  ASSERT_EQ(stage, Stage::CloseSent);
  // A process that has already finished makes waitForFinished() answer false.
  const auto finished = [](QProcess& process) {
    return process.state() == QProcess::NotRunning || process.waitForFinished(10000);
  };
  EXPECT_TRUE(finished(version));
  EXPECT_EQ(version.exitCode(), 0) << version.readAllStandardError().toStdString();
  EXPECT_EQ(version.readAllStandardOutput().toStdString(), "2.32\r\n");
  EXPECT_EQ(indicatorAfterVersion, "2.32");
  EXPECT_TRUE(modalOpenAfterVersion) << "the command ran while the window stayed open";
  EXPECT_TRUE(finished(closer));
  EXPECT_EQ(closer.exitCode(), 0) << closer.readAllStandardError().toStdString();

  // The modal window ended while the menu command that opened it could still use the port
  // object; the object went only once that command had returned (see ExpectEnded).
  EXPECT_TRUE(portObjectWhenModalEnded);
  ExpectEnded(parts);
  EXPECT_FALSE(about.isVisible());
  EXPECT_FALSE(bar.isVisible());
  EXPECT_EQ(parts.directory.Read("ZELdrv.ini"), iniBefore) << "nothing stored";
  const size_t opens = parts.line->CallsOf(FakeCallKind::Open).size();
  EXPECT_EQ(opens, GetParam().modal == OpenModal::MessageBarOverSetupDialog ? 2u : 1u)
      << "a cancelled dialog sets nothing up";
  // As the program does after its loop: what has arrived meanwhile is answered.
  link.ServeWhatHasArrived(1000);
}

INSTANTIATE_TEST_SUITE_P(MainWindowClose, CloseDuringModal,
                         ::testing::Values(ModalCase{"setup_dialog", OpenModal::SetupDialog},
                                           ModalCase{"about_box", OpenModal::AboutBox},
                                           ModalCase{"message_bar_over_setup_dialog",
                                                     OpenModal::MessageBarOverSetupDialog}),
                         [](const ::testing::TestParamInfo<ModalCase>& tested) {
                           return std::string(tested.param.legend);
                         });

}  // namespace
}  // namespace zel::test
