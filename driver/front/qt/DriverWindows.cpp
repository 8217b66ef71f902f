#include "driver/front/qt/DriverWindows.h"

namespace zel {

DriverWindows::DriverWindows(DriverFront& front, WindowRelay& windowRelay,
                             std::unique_ptr<zel::SerialPort> port, std::string programDirectory,
                             Notice& notice, StatusSink* echo)
    : relay(windowRelay),
      mainForm(front, std::move(port), std::move(programDirectory), notice, echo) {
  relay.Attach(&mainForm, &mainForm);
  AboutBox = &aboutBox;
  WriteBar = &writeBar;
}

DriverWindows::~DriverWindows() { relay.Detach(); }

}  // namespace zel
