// The windows' behaviour apart from any toolkit, over recorder views: the message bar's wait, the
// setup dialog's flow, and the main window's indicator, window states and close paths.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "common/MessageBar.h"
#include "driver/front/MainWindowLogic.h"
#include "driver/front/WindowRelay.h"
#include "driver/port/SetupDialogLogic.h"
#include "tests/port/PortTestSupport.h"
#include "tests/support/DataText.h"
#include "tests/support/FakeSerialPort.h"

namespace zel::test {
namespace {

struct BarView : MessageBarView {
  void SetMessageText(const std::string& text) override { shown.push_back(text); }
  void RunModal() override {
    ++runs;
    if (user) user();
  }
  std::vector<std::string> shown;
  int runs = 0;
  std::function<void()> user;  // acts while the bar waits
};

TEST(MessageBarLogic, WaitsForOkACallMeanwhileAddsItsTextAndWithoutAWindowStandardErrorShowsIt) {
  MessageBar bar;
  BarView view;
  bar.Attach(&view);
  view.user = [&] {
    EXPECT_TRUE(bar.IsOpen());
    bar.ShowNotice("2.32");  // returns at once: the user acknowledges both
  };
  bar.ShowNotice("Fail");
  view.user = nullptr;
  bar.ShowNotice("");
  EXPECT_EQ(view.runs, 2);
  EXPECT_EQ(view.shown, (std::vector<std::string>{"Fail", "Fail\n2.32", ""}));
  EXPECT_FALSE(bar.IsOpen());

  bar.Attach(nullptr);
  ::testing::internal::CaptureStderr();
  bar.ShowNotice("Can't store current configuration !");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "message: Can't store current configuration !\n");
}

// A window that cannot show the byte E9 shows '?'; the user's typing goes into `typed`.
struct DialogView : SetupDialogView {
  void SetFieldTexts(const SetupFieldTexts& texts) override {
    fields = texts;
    for (std::string& text : fields)
      for (char& c : text)
        if (c == '\xE9') c = '?';
  }
  SetupFieldTexts FieldTexts() const override { return fields; }
  bool RunModal() override {
    for (const auto& [field, text] : typed) fields[int(field)] = text;
    if (user) user();
    return pressOk && !endedFromOutside;
  }
  SetupFieldTexts fields;
  std::vector<std::pair<SetupField, std::string>> typed;
  bool pressOk = true, endedFromOutside = false;
  std::function<void()> user;
};

TEST(SetupDialogLogic, OnlyOkTakesTheFieldsTheUserChangedAndUnchangedOnesKeepTheirBytes) {
  const struct {
    const char* legend;
    std::vector<std::pair<SetupField, std::string>> typed;
    bool ok;
    std::string expected;  // as Fields() joins them
  } table[] = {
      {"cancel",
       {{SetupField::TransferRate, "57600 baud"}},
       false,
       "COM\xE9|75 baud|1 bit|odd one|Immediately answer|HandShake|HandShake|0|0"},
      {"ok, nothing typed",
       {},
       true,
       "COM\xE9|75 baud|1 bit|odd one|Immediately answer|HandShake|HandShake|0|0"},
      {"ok, two typed",
       {{SetupField::TransferRate, "57600 baud"}, {SetupField::PortNumber, "COM5"}},
       true,
       "COM5|57600 baud|1 bit|odd one|Immediately answer|HandShake|HandShake|0|0"},
  };
  for (const auto& row : table) {
    DialogView view;
    view.typed = row.typed;
    view.pressOk = row.ok;
    PortSettings settings = PortSettings::Defaults();
    settings.PortNumber = "COM\xE9";
    settings.Paritet = "odd one";
    EXPECT_EQ(SetupDialogLogic(view).Edit(settings), row.ok) << row.legend;
    EXPECT_EQ(Fields(settings), row.expected) << row.legend;
  }
}

TEST(SetupDialogLogic, OffersTheListsOfTheDataFileAndThenTheAdaptersPresent) {
  std::ifstream file(ZEL_TEST_DATA "/port/setup-dialog.txt");
  int field = 0;
  for (std::string row; std::getline(file, row);) {
    if (row.empty() || row[0] == '#') continue;
    std::vector<std::string> expected = Split(row.substr(row.find(' ')), "|");
    if (field == 0) expected.insert(expected.end(), {"/dev/ttyUSB0", "COM7"});
    EXPECT_EQ(SetupFieldItems(SetupField(field++), {"/dev/ttyUSB0", "COM7"}), expected) << row;
  }
  EXPECT_EQ(field, SetupFieldCount) << "tests/data/port/setup-dialog.txt not read";
}

struct StatusRecorder : StatusSink {
  void SetStatusText(const std::string& text) override { last = text; }
  std::string last = "(none)";
};

// Shown normal at first; a close from the toolkit runs FormClose, as a real window's does. Ending
// the modal windows ends the setup dialog as from outside.
struct WindowView : MainWindowView {
  void PlaceAtTopLeft(int width, int height) override {
    panel = std::to_string(width) + "x" + std::to_string(height);
  }
  void ShowIndicatorText(const std::string& text) override { indicator = text; }
  void ShowNormal() override { visible = true, minimized = false; }
  void ShowMinimized() override { visible = minimized = true; }
  void HideWindow() override { visible = false; }
  bool IsMinimized() const override { return minimized; }
  void BringToFront() override { ++broughtToFront; }
  void CloseWindow() override { logic->FormClose(); }
  void RunAboutBox() override {
    if (about) about();
  }
  void EndModalWindows() override { dialog->endedFromOutside = true; }
  void EndMessageLoop() override { ++loopEnds; }

  MainWindowLogic* logic = nullptr;
  DialogView* dialog = nullptr;
  std::string panel, indicator;
  bool visible = true, minimized = false;
  int broughtToFront = 0, loopEnds = 0;
  std::function<void()> about;
};

struct Notices : Notice {
  void ShowNotice(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

// The driver over the fake line, its windows the recorders; the data item already poked.
struct Driver {
  explicit Driver(bool portOpens = true) {
    line->OpenFails = !portOpens;
    view.logic = &logic;
    view.dialog = &dialog;
    relay.Attach(&logic, &logic);
    logic.FormCreate(std::make_unique<TComProperties>(std::make_unique<FakeSerialPort>(line),
                                                      directory.FilePath("ZELdrv.ini"), notices),
                     &setup);
    front.ZELdriver.Poke(DriverItem, TextFormat, "0205 0001 1234AB");
  }
  ~Driver() { relay.Detach(); }

  ScratchDirectory directory;
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  Notices notices;
  WindowRelay relay;
  SteadyClock clock;
  DriverFront front{relay, relay, clock};
  DialogView dialog;
  SetupDialogLogic setup{dialog};
  WindowView view;
  StatusRecorder echo;
  MainWindowLogic logic{front, view, &echo};
};

// The rows of tests/data/gui/indicator.txt: a hidden window stays hidden until "Show".
TEST(MainWindowLogic, CommandsSetTheIndicatorAndItsEchoAndTheWindowWhichStaysHiddenUntilShow) {
  std::ifstream file(ZEL_TEST_DATA "/gui/indicator.txt");
  int rows = 0;
  for (std::string row; std::getline(file, row);) {
    if (row.empty() || row[0] == '#') continue;
    SCOPED_TRACE(row);
    ++rows;
    const std::vector<std::string> cells = Split(row, "|");
    Driver driver(cells[0] == "yes");
    EXPECT_EQ(driver.view.panel, "128x20");
    int shows = 0;
    for (const std::string& word : Words(cells[1])) {
      driver.front.ZELdriverExecuteMacro({word});
      shows += word == "Show";
    }
    EXPECT_EQ(driver.view.indicator, cells[2]);
    EXPECT_EQ(driver.echo.last, cells[2]);
    EXPECT_EQ(driver.view.visible, cells[3] == "yes");
    EXPECT_EQ(driver.view.minimized, cells[4] == "yes");
    EXPECT_EQ(driver.view.broughtToFront, shows);
  }
  EXPECT_EQ(rows, 10) << "tests/data/gui/indicator.txt not read";
}

// A close inside a menu command's modal window ends it as cancelled; the port object outlives the
// command, which may still use it, and goes with its return.
TEST(MainWindowLogic, EveryCloseDestroysThePortObjectOnceNoMenuCommandIsLeftOnTheStack) {
  const struct {
    const char* opened;  // "", "Setup" or "About"
    void (*close)(Driver&);
    const char* legend;
  } table[] = {
      {"", [](Driver& d) { d.logic.Close1Click(); }, "menu &Close"},
      {"", [](Driver& d) { d.logic.FormClose(); }, "close box"},
      {"Setup", [](Driver& d) { d.front.ZELdriverExecuteMacro({"Close"}); }, "command Close"},
      {"About", [](Driver& d) { d.front.ZELdriverExecuteMacro({"Close"}); }, "command Close"},
      {"Setup", [](Driver& d) { d.logic.Close1Click(); }, "menu &Close"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(std::string(row.opened) + ": " + row.legend);
    Driver driver;
    std::string inModal = "(never open)";
    bool portAfterClose = false;
    const auto user = [&] {
      inModal = driver.view.indicator;
      driver.dialog.fields[0] = "COM2";  // typed, and OK pressed: ended all the same
      row.close(driver);
      portAfterClose = driver.front.ComProperties() != nullptr;
      EXPECT_EQ(driver.view.loopEnds, 1);
    };
    const std::string opened = row.opened;
    if (opened == "Setup") {
      driver.dialog.user = user;
      driver.logic.Setup1Click();
    } else if (opened == "About") {
      driver.view.about = user;
      driver.logic.About1Click();
    } else {
      row.close(driver);
    }
    EXPECT_TRUE(driver.logic.Closed());
    EXPECT_EQ(driver.front.ComProperties(), nullptr);
    EXPECT_FALSE(driver.line->IsOpen);
    EXPECT_GE(driver.view.loopEnds, 1);
    if (opened.empty()) continue;
    EXPECT_TRUE(portAfterClose) << "destroyed under the menu command";
    EXPECT_EQ(inModal, opened == "Setup" ? "" : "data loaded") << "\"&Setup\" empties it first";
    EXPECT_EQ(driver.line->CallsOf(FakeCallKind::Open).size(), 1u) << "nothing set up anew";
    EXPECT_TRUE(driver.notices.shown.empty());
    EXPECT_TRUE(driver.directory.Entries().empty()) << "nothing stored";
  }
}

}  // namespace
}  // namespace zel::test
