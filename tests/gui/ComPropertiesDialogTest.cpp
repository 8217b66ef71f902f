// The port setup dialog's window, shown modally and worked by key presses and clicks: its frame,
// fields, lists and tab order, what Esc, Enter, Cancel and OK do to the carried texts, and the
// whole setup flow through the real window over the fake port.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "driver/port/qt/ComPropertiesDialog.h"
#include "driver/port/ComProperties.h"
#include "driver/port/SerialDevices.h"
#include "tests/gui/ModalDriver.h"
#include "tests/port/PortTestSupport.h"
#include "tests/support/FakeSerialPort.h"

namespace zel::test {
namespace {

const std::string IniName = "ZELdrv.ini";

const NineSettings Loaded = {"COM2",   "9600 baud", "1 bit", "None", "Approximately 0.25 second",
                             "Enable", "Disable",   -7,      1234};

std::vector<std::string> ItemsOf(const QComboBox& box) {
  std::vector<std::string> items;
  for (int i = 0; i < box.count(); ++i) items.push_back(box.itemText(i).toStdString());
  return items;
}

template <size_t N>
std::vector<std::string> Strings(const std::array<const char*, N>& items) {
  return std::vector<std::string>(items.begin(), items.end());
}

// What a user does with the dialog's controls: keys go where the keyboard focus is.
class DialogUser {
 public:
  explicit DialogUser(QWidget& window) : window_(window) {}

  QComboBox& Field(const char* name) const {
    auto* box = window_.findChild<QComboBox*>(QString::fromLatin1(name));
    if (box == nullptr) throw std::runtime_error(std::string("no field ") + name);
    return *box;
  }
  QPushButton& Button(const char* name) const {
    auto* button = window_.findChild<QPushButton*>(QString::fromLatin1(name));
    if (button == nullptr) throw std::runtime_error(std::string("no button ") + name);
    return *button;
  }
  // The control that has the keyboard focus, by name; the line edit of an editable field
  // stands for its field.
  std::string Focused() const {
    QWidget* focused = QApplication::focusWidget();
    if (focused == nullptr) return "(none)";
    if (qobject_cast<QComboBox*>(focused->parentWidget()) != nullptr) {
      focused = focused->parentWidget();
    }
    return focused->objectName().toStdString();
  }
  void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    QTest::keyClick(focused, key, modifiers);
  }
  // A character that no key of QTest's table gives, as a keyboard layout delivers it.
  void PressCharacter(const QString& character) const {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, character);
    QApplication::sendEvent(focused, &key);
  }
  // Clicks into the field, selects its whole text and types over it.
  void TypeInto(const char* name, const QString& text) const {
    QComboBox& box = Field(name);
    QTest::mouseClick(box.lineEdit(), Qt::LeftButton);
    ASSERT_EQ(Focused(), name);
    Press(Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), text);
  }
  void Click(const char* name) const { QTest::mouseClick(&Button(name), Qt::LeftButton); }

 private:
  QWidget& window_;
};

class SetupWindow : public ::testing::Test, protected DialogUser {
 protected:
  SetupWindow() : DialogUser(dialog) { Assign(dialog, Loaded); }

  ModalOutcome Show(const std::function<void()>& user) {
    const ModalOutcome outcome =
        RunModal([this] { return dialog.ShowModally(); }, [&user](QWidget&) { user(); });
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_TRUE(outcome.active);
    return outcome;
  }
  int Scaled(int designPixels) {
    return static_cast<int>(std::lround(designPixels * dialog.logicalDpiY() / 120.0));
  }

  ScratchDirectory dir;
  RecordingNotice notice;
  TComPropertiesDialog dialog{dir.Path(), notice};
};

TEST_F(SetupWindow, IsAFixedCaptionedStayOnTopDialogWithoutCloseBox) {
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Async port configuration"));
  const QSize client(Scaled(322), Scaled(277));
  EXPECT_EQ(dialog.size(), client);
  EXPECT_EQ(dialog.minimumSize(), client);
  EXPECT_EQ(dialog.maximumSize(), client);

  const Qt::WindowFlags flags = dialog.windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
  for (Qt::WindowType present :
       {Qt::WindowStaysOnTopHint, Qt::CustomizeWindowHint, Qt::WindowTitleHint})
    EXPECT_TRUE(flags & present) << present;
  for (Qt::WindowType absent :
       {Qt::WindowSystemMenuHint, Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint,
        Qt::WindowMaximizeButtonHint, Qt::WindowContextHelpButtonHint})
    EXPECT_FALSE(flags & absent) << absent;
}

// Names and captions are what other code and the user go by; where they sit is the layout's
// business.
TEST_F(SetupWindow, ControlsCarryTheirNamesCaptionsAndItemsInOrder) {
  const std::pair<const char*, const char*> labels[] = {
      {"Label2", "Port number"}, {"Label3", "Transmit speed"}, {"Label1", "Number of stop bits"},
      {"Label4", "Parity"},      {"Label5", "Latency period"}, {"Label6", "DTR control"},
      {"Label7", "RTS control"}};
  EXPECT_EQ(dialog.findChildren<QLabel*>().size(), std::size(labels));
  for (const auto& [name, caption] : labels) {
    auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    ASSERT_NE(label, nullptr) << name;
    EXPECT_EQ(label->text().toStdString(), caption);
  }

  std::vector<std::string> ports = Strings(PortNumberItems);
  for (const std::string& device : SerialDeviceNames()) ports.push_back(device);
  const std::pair<const char*, std::vector<std::string>> fields[] = {
      {"PortNumCBox", ports},
      {"SpeedCBox", Strings(TransferRateItems)},
      {"StopBitCBox", Strings(StopBitsItems)},
      {"ParitetCBox", Strings(ParitetItems)},
      {"PeriodCBox", Strings(LatencyPeriodItems)},
      {"DTRcontrolCBox", Strings(LineControlItems)},
      {"RTScontrolCBox", Strings(LineControlItems)},
  };
  EXPECT_EQ(dialog.findChildren<QComboBox*>().size(), std::size(fields));
  for (const auto& [name, items] : fields) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(Field(name).isEditable());
    EXPECT_EQ(ItemsOf(Field(name)), items);
  }
  // The spelling and order of the lists, spot-checked against the written-out texts.
  EXPECT_EQ(ItemsOf(Field("SpeedCBox")).at(11), "9600 baud");
  EXPECT_EQ(ItemsOf(Field("PeriodCBox")).at(4), "Approximately 1.25 seconds");

  EXPECT_EQ(dialog.findChildren<QPushButton*>().size(), 2);
  EXPECT_EQ(Button("btOK").text(), QStringLiteral("OK"));
  EXPECT_EQ(Button("btCancel").text(), QStringLiteral("Cancel"));
}

// Enter in a field must not confirm the dialog.
TEST_F(SetupWindow, NeitherButtonIsDefault) {
  bool anyDefault = true;
  Show([&] {
    anyDefault = false;
    for (const char* name : {"btOK", "btCancel"})
      anyDefault |= Button(name).isDefault() || Button(name).autoDefault();
  });
  EXPECT_FALSE(anyDefault);
}

TEST_F(SetupWindow, IsCentredOnTheScreenWhenShown) {
  dialog.move(0, 0);
  QRect shownAt;
  Show([&] { shownAt = dialog.geometry(); });
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_LE(std::abs(shownAt.center().x() - screen.center().x()), 1) << shownAt.x();
  EXPECT_LE(std::abs(shownAt.center().y() - screen.center().y()), 1) << shownAt.y();
}

TEST_F(SetupWindow, FocusStartsInPortNumberAndTabRunsFirstRowButtonsThenTheRest) {
  std::vector<std::string> visited;
  Show([&] {
    for (int i = 0; i < 10; ++i) {
      visited.push_back(Focused());
      Press(Qt::Key_Tab);
    }
  });
  EXPECT_EQ(visited, (std::vector<std::string>{"PortNumCBox", "SpeedCBox", "btOK", "btCancel",
                                               "StopBitCBox", "ParitetCBox", "PeriodCBox",
                                               "DTRcontrolCBox", "RTScontrolCBox", "PortNumCBox"}));

  // Every showing starts there again, wherever the focus was left.
  std::string first;
  Show([&] { first = Focused(); });
  EXPECT_EQ(first, "PortNumCBox");
}

TEST_F(SetupWindow, ShowsTheCarriedTextsAlsoThoseOutsideTheLists) {
  Assign(dialog, {"COM7", " 9600 baud", "2 bit", "Odd", "whenever", "HandShake", "Enable", 0, 0});
  std::vector<std::string> shown;
  int speedIndex = 0, stopIndex = -1;
  Show([&] {
    for (const char* name : {"PortNumCBox", "SpeedCBox", "StopBitCBox", "ParitetCBox", "PeriodCBox",
                             "DTRcontrolCBox", "RTScontrolCBox"}) {
      shown.push_back(Field(name).currentText().toStdString());
    }
    speedIndex = Field("SpeedCBox").currentIndex();
    stopIndex = Field("StopBitCBox").currentIndex();
  });
  EXPECT_EQ(shown, (std::vector<std::string>{"COM7", " 9600 baud", "2 bit", "Odd", "whenever",
                                             "HandShake", "Enable"}));
  EXPECT_EQ(speedIndex, -1);
  EXPECT_EQ(stopIndex, 2);
}

// Esc, Cancel, and ending the window from outside as the closing program does.
TEST_F(SetupWindow, NotConfirmedLeavesTheCarriedTextsAlone) {
  const std::vector<std::pair<const char*, std::function<void()>>> endings = {
      {"Esc in a field", [&] { Press(Qt::Key_Escape); }},
      {"Cancel clicked", [&] { Click("btCancel"); }},
      {"Esc on OK",
       [&] {
         Button("btOK").setFocus(Qt::TabFocusReason);
         Press(Qt::Key_Escape);
       }},
      {"close from outside", [&] { dialog.close(); }},
  };
  for (const auto& [legend, ending] : endings) {
    SCOPED_TRACE(legend);
    const ModalOutcome outcome = Show([&] {
      TypeInto("PortNumCBox", QStringLiteral("COM9"));
      TypeInto("PeriodCBox", QStringLiteral("never"));
      ending();
    });
    EXPECT_FALSE(outcome.confirmed);
    EXPECT_FALSE(outcome.leftOpen);
    EXPECT_EQ(SettingsOf(dialog), Loaded);
  }
}

TEST_F(SetupWindow, EnterInAFieldNeitherClosesNorAddsToTheList) {
  const ModalOutcome outcome = Show([&] {
    TypeInto("SpeedCBox", QStringLiteral("31250 baud"));
    Press(Qt::Key_Return);
    Press(Qt::Key_Enter);
    TypeInto("PortNumCBox", QStringLiteral("COM3"));
    Press(Qt::Key_Return);
  });
  EXPECT_TRUE(outcome.leftOpen);
  EXPECT_FALSE(outcome.confirmed);
  EXPECT_EQ(SettingsOf(dialog), Loaded);
  EXPECT_EQ(ItemsOf(Field("SpeedCBox")), Strings(TransferRateItems));
}

TEST_F(SetupWindow, OkTakesTheTextsAsTypedAndPicked) {
  const ModalOutcome outcome = Show([&] {
    TypeInto("PortNumCBox", QStringLiteral("COM5"));
    TypeInto("StopBitCBox", QStringLiteral("1"));              // a prefix of an item, not completed
    TypeInto("ParitetCBox", QStringLiteral("even"));           // case as typed
    TypeInto("RTScontrolCBox", QStringLiteral("HandShake "));  // untrimmed
    QTest::mouseClick(Field("SpeedCBox").lineEdit(), Qt::LeftButton);
    Press(Qt::Key_Down);  // the item after the one shown
    Click("btOK");
  });
  EXPECT_TRUE(outcome.confirmed);
  EXPECT_FALSE(outcome.leftOpen);
  EXPECT_EQ(SettingsOf(dialog),
            (NineSettings{"COM5", "14400 baud", "1", "even", "Approximately 0.25 second", "Enable",
                          "HandShake ", -7, 1234}));
}

TEST_F(SetupWindow, OkKeepsTheBytesOfFieldsLeftAsTheyWere) {
  // Not valid in the 8-bit encoding of names here (UTF-8): shown with a replacement character.
  const std::string odd = "COM\xE9";
  dialog.PortNumCBox = odd;
  const ModalOutcome outcome = Show([&] {
    TypeInto("DTRcontrolCBox", QStringLiteral("Disable"));
    PressCharacter(QString::fromUtf8("\xC3\xA9"));
    Button("btOK").setFocus(Qt::TabFocusReason);
    Press(Qt::Key_Space);
  });
  EXPECT_TRUE(outcome.confirmed);
  EXPECT_EQ(dialog.PortNumCBox, odd);
  EXPECT_EQ(dialog.DTRcontrolCBox,
            QString::fromUtf8("Disable\xC3\xA9").toLocal8Bit().toStdString());
  EXPECT_EQ(dialog.SpeedCBox, Loaded.transferRate);
}

TEST_F(SetupWindow, DestroyedWhileShownReportsCancelled) {
  auto* owned = new TComPropertiesDialog(dir.Path(), notice);
  QPointer<TComPropertiesDialog> watched = owned;
  Assign(*owned, Loaded);
  const ModalOutcome outcome =
      RunModal([owned] { return owned->ShowModally(); }, [owned](QWidget&) { delete owned; });
  EXPECT_FALSE(outcome.confirmed);
  EXPECT_FALSE(outcome.timedOut);
  EXPECT_TRUE(watched.isNull());
}

// The real window wired to the port object; the flow's other outcomes are pinned with a scripted
// dialog (UserSetupDialogTest) and "Close" during the dialog with the main window.

const std::string LoadedFile =
    "PortNumber=COM2\r\nTransferRate=9600 baud\r\nStopBits=1 bit\r\nParitet=None\r\n"
    "LatencyPeriod=Approximately 0.25 second\r\nDTRControl=Enable\r\nRTSControl=Disable\r\n"
    "WriteTimeOutMultiplier=-7\r\nWriteTimeOutConstant=1234\r\n";

class SetupFlowThroughTheWindow : public ::testing::Test, protected DialogUser {
 protected:
  SetupFlowThroughTheWindow() : DialogUser(dialog) {
    dir.Write(IniName, LoadedFile);
    FakePortOnLine fake = MakeFakePort();
    line = fake.line;
    port = std::make_unique<TComProperties>(std::move(fake.port));
    port->SetupDialog = &dialog;
    port->Init();
  }
  void SetUp() override { ASSERT_TRUE(port->IsPortConfigured); }

  // The Setup menu's call, with `user` working the dialog; `port` is called as it is now, and
  // the script may destroy it.
  void RunSetup(const std::function<void()>& user) {
    TComProperties* live = port.get();
    const ModalOutcome outcome = RunModal(
        [live] {
          live->UserSetupDialog();
          return false;  // the flow reports nothing
        },
        [&user](QWidget&) { user(); });
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_TRUE(outcome.active);
    EXPECT_FALSE(outcome.leftOpen);
  }

  ScratchDirectory dir;
  RecordingNotice notice;
  TComPropertiesDialog dialog{dir.Path(), notice};
  std::shared_ptr<FakeLine> line;
  std::unique_ptr<TComProperties> port;
};

TEST_F(SetupFlowThroughTheWindow, OkOnAWorkingPortSetsItUpAndStoresTheNineLines) {
  RunSetup([&] {
    TypeInto("PortNumCBox", QStringLiteral("/dev/ttyUSB3"));
    TypeInto("SpeedCBox", QStringLiteral("115200 baud"));
    Click("btOK");
  });

  EXPECT_TRUE(port->IsPortConfigured);
  EXPECT_EQ(line->OpenName, "/dev/ttyUSB3");
  EXPECT_EQ(line->State.BaudRate, 115200u);
  EXPECT_EQ(dir.Read(IniName),
            "PortNumber=/dev/ttyUSB3\r\nTransferRate=115200 baud\r\nStopBits=1 bit\r\n"
            "Paritet=None\r\nLatencyPeriod=Approximately 0.25 second\r\nDTRControl=Enable\r\n"
            "RTSControl=Disable\r\nWriteTimeOutMultiplier=-7\r\nWriteTimeOutConstant=1234\r\n");
  EXPECT_TRUE(notice.Texts.empty());
}

}  // namespace
}  // namespace zel::test
