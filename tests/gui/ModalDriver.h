// Runs a modal window in a test: a scripted user acts once the window's own loop is running, and
// a safety timer rejects the window should the script leave it open, so no test waits for a
// person or hangs.
#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>

namespace zel::test {

struct ModalOutcome {
  bool confirmed = false;  // what the show call returned
  bool leftOpen = false;   // the window was still shown after the script had run
  bool timedOut = false;   // the safety timer had to end it
};

// Calls `show` (which runs a modal loop and reports whether the user confirmed). Inside that
// loop, `user` runs once with the modal window; a window it leaves open is rejected at once.
inline ModalOutcome RunModal(const std::function<bool()>& show,
                             const std::function<void(QWidget&)>& user, int safetyMs = 5000) {
  ModalOutcome outcome;
  const auto reject = [] {
    if (QWidget* modal = QApplication::activeModalWidget())
      QMetaObject::invokeMethod(modal, "reject");
  };
  QObject timers;  // takes the pending timers along when we return
  QTimer::singleShot(0, &timers, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;  // the safety timer ends it
    modal->activateWindow();       // keys and focus behave as for a user only in the active window
    (void)QTest::qWaitForWindowActive(modal, 2000);
    user(*modal);
    outcome.leftOpen = QApplication::activeModalWidget() == modal && modal->isVisible();
    if (outcome.leftOpen) reject();
  });
  QTimer::singleShot(safetyMs, &timers, [&] {
    outcome.timedOut = true;
    reject();
  });
  outcome.confirmed = show();
  return outcome;
}

}  // namespace zel::test
