// The driver's windows over the fake port, wired as the program wires them; no settings file in
// the scratch directory, so the port object starts from the defaults. Shown, as the program
// shows it.
#pragma once

#include <QLabel>
#include <QTest>
#include <memory>
#include <string>

#include "driver/front/qt/DriverWindows.h"
#include "driver/port/qt/ComPropertiesDialog.h"
#include "tests/port/PortTestSupport.h"
#include "tests/support/FakeSerialPort.h"

namespace zel::test {

struct DriverWindowParts {
  // The one place that knows how the program makes its port object and windows.
  DriverWindowParts() {
    windows = std::make_unique<DriverWindows>(
        front, relay,
        std::make_unique<TComProperties>(std::make_unique<FakeSerialPort>(line),
                                         directory.FilePath("ZELdrv.ini"), notice));
    windows->mainForm.show();
    (void)QTest::qWaitForWindowExposed(&windows->mainForm);
  }
  TMainForm& Form() { return windows->mainForm; }
  std::string Indicator() { return Form().TextIndicator->text().toStdString(); }

  ScratchDirectory directory;
  std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
  WindowRelay relay;
  SteadyClock clock;
  DriverFront front{relay, relay, clock};
  WriteBarNotice notice;
  std::unique_ptr<DriverWindows> windows;
};

}  // namespace zel::test
