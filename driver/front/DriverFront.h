#pragma once
// The heart of the driver: its data item, frame store and port object, and the handlers that the
// link calls for each poke and execute. Windows and transports stay outside; the front reaches
// them through the status sink, the window interface and the clock.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Names.h"
#include "ddelink/BroadcastTopic.h"
#include "ddelink/ServerConversation.h"
#include "ddelink/ServerItem.h"
#include "driver/frames/FrameStore.h"
#include "driver/front/Clock.h"
#include "driver/front/DriverWindow.h"
#include "driver/front/LineMonitor.h"
#include "driver/front/ReplyReader.h"
#include "driver/front/StatusSink.h"
#include "driver/port/ComProperties.h"

namespace zel {

class DriverFront : public ConversationHandler {
 public:
  DriverFront(StatusSink& status, DriverWindow& window, Clock& clock);
  ~DriverFront() override;

  // Creation of the window: the port object is taken over, loads its configuration and sets the
  // port up; the buffers are cleared.
  void FormCreate(std::unique_ptr<TComProperties> comProperties);
  // Closing of the window: destroys the port object. Later commands are ignored, pokes refused.
  void FormClose();

  // Loads both frames from the first line of the poke, says "data loaded", empties the item.
  void ZELDDEItemPokeData();
  // Runs the command named by the first line of an executed text.
  void ZELdriverExecuteMacro(const std::vector<std::string>& lines);

  void ExecuteMacro(const std::vector<std::string>& lines) override {
    ZELdriverExecuteMacro(lines);
  }
  void PokeData() override { ZELDDEItemPokeData(); }

  // The port object; null before FormCreate and after FormClose.
  TComProperties* ComProperties() { return port_.get(); }

  ServerItem ZELDDEItem{DriverItem};
  FrameStore Frames;
  ServerConversation ZELdriver{DriverTopic, ZELDDEItem, *this};
  // The line monitor's topic: the port reports its traffic only while someone listens here.
  BroadcastTopic ZELmonitor{MonitorTopic, MonitorItem};

 private:
  void SendWithEchoCheck(const FrameBuffer& frame, int32_t length);
  void EasySend(const FrameBuffer& frame, int32_t length);
  void Receive();
  void ReceiveDump();
  void LineCommand(bool (TComProperties::*operation)());
  void Clear();
  void Version();
  void PortState();
  void Close();
  void ShowStatusAndItem(const std::string& word);

  StatusSink& status_;
  DriverWindow& window_;
  Clock& clock_;
  std::unique_ptr<TComProperties> port_;
  // A fast reply that came in with the echo of the last "Send" or "SendDump".
  EarlyReply early_;
  std::map<std::string, std::function<void()>> commands_;  // by command word
  LineMonitor monitor_;
};

}  // namespace zel
