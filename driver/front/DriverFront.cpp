#include "driver/front/DriverFront.h"

#include "driver/frames/FrameBuilder.h"
#include "driver/front/StatusWords.h"

DriverFront::DriverFront(StatusSink& status) : status_(status) { Frames.ResetBuffers(); }

void DriverFront::ZELDDEItemPokeData() {
  Frames.PokedText = ZELDDEItem.Text();
  Frames.ResetSendFrame();
  BuildSendFrame(Frames.PokedText, Frames.SendFrame, Frames.SendLength);
  BuildDumpFrame(Frames.PokedText, Frames.DumpFrame, Frames.DumpLength);
  status_.SetStatusText(DataLoadedWord);
  ZELDDEItem.SetText("");
}

void DriverFront::ZELdriverExecuteMacro(const std::vector<std::string>& lines) {
  // The command word is the first line, compared whole and case-sensitively; a text without a
  // line, and a word that names no command, leave item, indicator and buffers as they were.
  // No word names a command yet.
  (void)lines;
}
