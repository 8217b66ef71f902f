#pragma once
// The driver's windows, created in their start-up order: the main window (whose creation makes
// the setup dialog and the port object), the About box, the message bar. The front reaches the
// main window through the relay while these windows live.

#include <memory>
#include <string>

#include "common/qt/WriteBar.h"
#include "driver/front/WindowRelay.h"
#include "driver/front/qt/AboutBox.h"
#include "driver/front/qt/MainForm.h"

namespace zel {

struct DriverWindows {
  DriverWindows(DriverFront& front, WindowRelay& relay,
                std::unique_ptr<TComProperties> comProperties, StatusSink* echo = nullptr);
  ~DriverWindows();
  DriverWindows(const DriverWindows&) = delete;
  DriverWindows& operator=(const DriverWindows&) = delete;

  WindowRelay& relay;
  TMainForm mainForm;
  TAboutBox aboutBox;
  TWriteBar writeBar;
};

}  // namespace zel
