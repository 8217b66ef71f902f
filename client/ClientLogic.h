#pragma once
// The test client's window, apart from any toolkit: the entry check flow, the buttons' steps and
// their enabling, and the closing. A toolkit's window implements ClientView and forwards its
// events here.

#include <optional>
#include <string>
#include <vector>

#include "client/ClientLink.h"

namespace zel {

inline constexpr char ClientCaption[] = "ZEL test-client";

// The nineteen buttons; all but Exit are the eighteen command buttons.
enum class ClientButton {
  Poke,
  Send,
  SendDump,
  ESend,
  ESendDump,
  Clear,
  Receive,
  ReceiveDump,
  Min,
  Rest,
  Hide,
  Show,
  Version,
  State,
  SetDTR,
  MoveDTR,
  SetRTS,
  MoveRTS,
  Exit
};
inline constexpr int ClientButtonCount = 19;

enum class AddressField { HiTo, LoTo, HiFrom, LoFrom };

class ClientView {
 public:
  virtual ~ClientView() = default;
  // The address field's text, UTF-8.
  virtual std::string FieldText(AddressField field) const = 0;
  // The data memo's lines as it displays them (a wrapped line counts as several), UTF-8; at
  // least the first MemoLinesRead.
  virtual std::vector<std::string> MemoDisplayedLines() const = 0;
  virtual void SetButtonEnabled(ClientButton button, bool enabled) = 0;
  // RetMemo's whole text (8-bit, as the driver sent it; CR LF or LF between lines).
  virtual std::string ResultText() const = 0;
  virtual void SetResultText(const std::string& text) = 0;
  // The entry check's modal error box (caption, text UTF-8, error symbol, one "OK").
  virtual void ShowEntryError(const std::string& caption, const std::string& text) = 0;
  // A short answer of the driver, in the message bar (modal).
  virtual void ShowAnswer(const std::string& text) = 0;
  // Ends the program (after FormClose).
  virtual void EndProgram() = 0;
};

class ClientLogic {
 public:
  ClientLogic(ClientView& view, ClientLink& link);

  // Opens the conversation (starting the driver when needed) and disables the send buttons. No
  // box is shown meanwhile: link trouble is told in RetMemo.
  void FormCreate();
  // Every close path: "Close" to the driver, without waiting, once; then the program ends.
  void FormClose();

  // The entry check: composes FrameText, shows the error box on failure, and enables or
  // disables PokeButton. True when the entry is valid.
  bool AnyDataChange();
  // The button's click handler; Exit closes through FormClose.
  void Click(ClientButton button);

  // The line the last entry check composed, or the last text received.
  std::string FrameText;

 private:
  void SetSendButtons(bool enabled);
  void SetCommandButtons(bool enabled);
  void AppendNotice(const std::string& text);
  void ReconnectIfStartFailed();
  std::optional<std::string> WaitForItemText();
  void RestoreButtons();
  void ExecuteOnly(const char* command);
  void ExecuteAndWait(const char* command);
  void PokeDumpAndExecute(const char* command);
  void ReceiveIntoRetMemo(const char* command);
  void ExecuteAndShowAnswer(const char* command);
  void Poke();

  ClientView& view_;
  ClientLink& link_;
  bool reconnectOnNextCommand_ = false;
  bool closeSent_ = false;
};

}  // namespace zel
