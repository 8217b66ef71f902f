#include "client/ClientLogic.h"

#include "client/EntryCheck.h"
#include "common/Names.h"

namespace zel {

namespace {

constexpr ClientButton SendButtons[] = {ClientButton::Send, ClientButton::SendDump,
                                        ClientButton::ESend, ClientButton::ESendDump};

// RetMemo's line end: the driver's, which every face can show.
constexpr char LineEnd[] = "\r\n";

}  // namespace

ClientLogic::ClientLogic(ClientView& view, ClientLink& link) : view_(view), link_(link) {}

void ClientLogic::FormCreate() {
  // No box may be shown while the window is being built: a failure is noted in RetMemo.
  if (!link_.Open()) {
    reconnectOnNextCommand_ = true;
    AppendNotice(std::string("No conversation with ") + DriverService + " (" + link_.LastError() +
                 "); the next command tries again.");
  }
  SetSendButtons(false);
}

void ClientLogic::FormClose() {
  if (closeSent_) return;
  closeSent_ = true;
  link_.Execute(CloseCommand);
  view_.EndProgram();
}

bool ClientLogic::AnyDataChange() {
  const EntryCheckResult result =
      CheckEntry(view_.FieldText(AddressField::HiTo), view_.FieldText(AddressField::LoTo),
                 view_.FieldText(AddressField::HiFrom), view_.FieldText(AddressField::LoFrom),
                 view_.MemoDisplayedLines());
  if (result.FrameText) FrameText = *result.FrameText;
  if (!result.Valid)
    view_.ShowEntryError(std::string(EntryErrorCaption), std::string(EntryErrorText));
  view_.SetButtonEnabled(ClientButton::Poke, result.Valid);
  return result.Valid;
}

void ClientLogic::Click(ClientButton button) {
  switch (button) {
    case ClientButton::Poke:
      return Poke();
    case ClientButton::Send:
      return ExecuteAndWait(SendCommand);
    case ClientButton::ESend:
      return ExecuteAndWait(EasySendCommand);
    case ClientButton::SendDump:
      return PokeDumpAndExecute(SendDumpCommand);
    case ClientButton::ESendDump:
      return PokeDumpAndExecute(EasySendDumpCommand);
    case ClientButton::Receive:
      return ReceiveIntoRetMemo(ReceiveCommand);
    case ClientButton::ReceiveDump:
      return ReceiveIntoRetMemo(ReceiveDumpCommand);
    case ClientButton::Version:
      return ExecuteAndShowAnswer(VersionCommand);
    case ClientButton::State:
      return ExecuteAndShowAnswer(PortStateCommand);
    case ClientButton::SetDTR:
      return ExecuteAndShowAnswer(SetDtrCommand);
    case ClientButton::MoveDTR:
      return ExecuteAndShowAnswer(MoveDtrCommand);
    case ClientButton::SetRTS:
      return ExecuteAndShowAnswer(SetRtsCommand);
    case ClientButton::MoveRTS:
      return ExecuteAndShowAnswer(MoveRtsCommand);
    case ClientButton::Clear:
      view_.SetResultText("");
      SetSendButtons(false);
      return ExecuteOnly(ClearCommand);
    case ClientButton::Min:
      return ExecuteOnly(MinimizeCommand);
    case ClientButton::Rest:
      return ExecuteOnly(NormalSizeCommand);
    case ClientButton::Hide:
      return ExecuteOnly(HideCommand);
    case ClientButton::Show:
      return ExecuteOnly(ShowCommand);
    case ClientButton::Exit:
      return FormClose();
  }
}

void ClientLogic::SetSendButtons(bool enabled) {
  for (ClientButton button : SendButtons) view_.SetButtonEnabled(button, enabled);
}

void ClientLogic::SetCommandButtons(bool enabled) {
  for (int button = 0; button < ClientButtonCount; ++button)
    if (static_cast<ClientButton>(button) != ClientButton::Exit)
      view_.SetButtonEnabled(static_cast<ClientButton>(button), enabled);
}

void ClientLogic::AppendNotice(const std::string& text) {
  // Link trouble is told in RetMemo: a message box would stop the window.
  const std::string shown = view_.ResultText();
  view_.SetResultText(shown.empty() ? text : shown + LineEnd + text);
}

void ClientLogic::ReconnectIfStartFailed() {
  // A conversation that failed at start-up is tried once more, before the next command.
  if (!reconnectOnNextCommand_ || link_.IsOpen()) return;
  reconnectOnNextCommand_ = false;
  if (link_.Open())
    AppendNotice(std::string("Connected to ") + DriverService + ".");
  else
    AppendNotice(std::string("Still no conversation with ") + DriverService + " (" +
                 link_.LastError() + ").");
}

std::optional<std::string> ClientLogic::WaitForItemText() {
  std::optional<std::string> text = link_.WaitForItemText();
  if (!text)
    AppendNotice(link_.IsOpen()
                     ? std::string(DriverService) + " gave no answer; the command was given up."
                     : std::string("No conversation with ") + DriverService +
                           ": the command reached nothing.");
  return text;
}

void ClientLogic::RestoreButtons() {
  view_.SetResultText(FrameText + LineEnd);
  SetCommandButtons(true);
}

void ClientLogic::Poke() {
  if (!AnyDataChange()) return;
  ReconnectIfStartFailed();
  SetSendButtons(true);
  link_.Poke(FrameText);
}

void ClientLogic::ExecuteOnly(const char* command) {
  ReconnectIfStartFailed();
  link_.Execute(command);
}

void ClientLogic::ExecuteAndWait(const char* command) {
  ExecuteOnly(command);
  WaitForItemText();
}

void ClientLogic::PokeDumpAndExecute(const char* command) {
  if (!AnyDataChange()) return;
  ReconnectIfStartFailed();
  FrameText = DumpText(FrameText);
  link_.Poke(FrameText);
  link_.Execute(command);
  WaitForItemText();
}

void ClientLogic::ReceiveIntoRetMemo(const char* command) {
  SetCommandButtons(false);
  view_.SetResultText("");
  ExecuteOnly(command);
  const std::optional<std::string> outcome = WaitForItemText();
  if (outcome) FrameText = *outcome;
  const std::string notice = outcome ? std::string() : view_.ResultText();
  RestoreButtons();
  // Without an outcome the notice says why, not an old text.
  if (!outcome) view_.SetResultText(notice);
}

void ClientLogic::ExecuteAndShowAnswer(const char* command) {
  ExecuteOnly(command);
  if (const std::optional<std::string> outcome = WaitForItemText()) view_.ShowAnswer(*outcome);
}

}  // namespace zel
