#include "driver/front/qt/DriverWindows.h"

namespace zel {

DriverWindows::DriverWindows(DriverFront& front, WindowRelay& windowRelay,
                             std::unique_ptr<TComProperties> comProperties, StatusSink* echo)
    : relay(windowRelay), mainForm(front, std::move(comProperties), echo) {
  relay.Attach(&mainForm.Logic(), &mainForm.Logic());
  AboutBox = &aboutBox;
  WriteBar = &writeBar;
}

DriverWindows::~DriverWindows() { relay.Detach(); }

}  // namespace zel
