#pragma once
// The heart of the driver: its data item, its frame store, and the handlers that the link calls
// for each poke and execute. Windows and transports stay outside; they reach it through the
// status sink and the conversation handler interface.

#include <string>
#include <vector>

#include "ddelink/LinkNames.h"
#include "ddelink/ServerConversation.h"
#include "ddelink/ServerItem.h"
#include "driver/frames/FrameStore.h"
#include "driver/frames/StatusSink.h"

class DriverFront : public ConversationHandler {
 public:
  explicit DriverFront(StatusSink& status);

  // Loads both frames from the first line of the poke, says "data loaded", empties the item.
  void ZELDDEItemPokeData();
  // Runs the command named by the first line of an executed text.
  void ZELdriverExecuteMacro(const std::vector<std::string>& lines);

  void ExecuteMacro(const std::vector<std::string>& lines) override { ZELdriverExecuteMacro(lines); }
  void PokeData() override { ZELDDEItemPokeData(); }

  ServerItem ZELDDEItem{DriverItem};
  FrameStore Frames;
  ServerConversation ZELdriver{DriverTopic, ZELDDEItem, *this};

 private:
  StatusSink& status_;
};
