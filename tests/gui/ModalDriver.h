// Runs a modal dialog in a test: a scripted user acts once the dialog's own loop is running, and
// a safety timer rejects the dialog should the script leave it open, so no test waits for a
// person or hangs.
#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace zel::test {

struct ModalOutcome {
  bool confirmed = false;  // what the show call returned
  bool leftOpen = false;   // the window was still shown after the script had run
  bool timedOut = false;   // the safety timer had to end it
  bool active = false;     // the window was the active one when the script began
};

// Calls `show` (which runs a modal loop and reports whether the user confirmed). Inside that
// loop, `user` runs once with the modal window; a window it leaves open is rejected at once and
// reported as left open.
inline ModalOutcome RunModal(const std::function<bool()>& show,
                             const std::function<void(QWidget&)>& user, int safetyMs = 5000) {
  ModalOutcome outcome;
  auto rejectOpenWindow = [] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      QMetaObject::invokeMethod(modal, "reject");
    }
  };
  QTimer script;
  script.setSingleShot(true);
  QObject::connect(&script, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;  // the safety timer ends it
    // Keys and focus behave as for a user only in the active window.
    modal->activateWindow();
    outcome.active = QTest::qWaitForWindowActive(modal, 2000);
    user(*modal);
    if (QApplication::activeModalWidget() == modal && modal->isVisible()) {
      outcome.leftOpen = true;
      rejectOpenWindow();
    }
  });
  QTimer safety;
  safety.setSingleShot(true);
  QObject::connect(&safety, &QTimer::timeout, [&] {
    outcome.timedOut = true;
    rejectOpenWindow();
  });
  script.start(0);
  safety.start(safetyMs);
  outcome.confirmed = show();
  return outcome;
}

}  // namespace zel::test
