#include "driver/front/MainWindowLogic.h"

#include <utility>

namespace zel {

MainWindowLogic::MainWindowLogic(DriverFront& front, MainWindowView& view, StatusSink* echo)
    : front_(front), view_(view), echo_(echo) {}

MainWindowLogic::~MainWindowLogic() {
  if (!closed_) front_.FormClose();
}

void MainWindowLogic::FormCreate(std::unique_ptr<TComProperties> comProperties,
                                 PortSettingsEditor* setupDialog) {
  // The top left corner, wherever the window was laid out; the panel leaves two pixels below.
  view_.PlaceAtTopLeft(MainClientWidth, MainClientHeight - 2);
  comProperties->SetupDialog = setupDialog;
  // The port object loads the configuration and sets the port up; the buffers are cleared.
  front_.FormCreate(std::move(comProperties));
}

void MainWindowLogic::FormClose() {
  if (closing_) return;
  closing_ = true;
  // Commands that are still queued must not reach the port object any more.
  front_.ZELdriver.StopHandling();
  // The link serves inside modal loops, so a "Close" may arrive in one: they all end as
  // cancelled.
  view_.EndModalWindows();
  if (modalDepth_ == 0) {
    FinishClose();
    return;
  }
  // The menu command that opened the modal window is still on the stack below us and may use
  // the port object until it returns; it finishes the close then.
  view_.EndMessageLoop();
}

void MainWindowLogic::FinishClose() {
  if (closed_) return;
  closed_ = true;
  front_.FormClose();  // closes the port
  view_.EndModalWindows();
  view_.EndMessageLoop();
}

void MainWindowLogic::RunModal(const std::function<void()>& modal) {
  ++modalDepth_;
  modal();
  --modalDepth_;
  if (closing_ && modalDepth_ == 0) FinishClose();
}

void MainWindowLogic::Close1Click() { view_.CloseWindow(); }

void MainWindowLogic::Setup1Click() {
  if (closing_) return;
  SetStatusText("");
  TComProperties* port = front_.ComProperties();
  if (port == nullptr) return;
  RunModal([port] { port->UserSetupDialog(); });
}

void MainWindowLogic::About1Click() {
  if (closing_) return;
  RunModal([this] { view_.RunAboutBox(); });
}

void MainWindowLogic::SetStatusText(const std::string& text) {
  view_.ShowIndicatorText(text);
  if (echo_ != nullptr) echo_->SetStatusText(text);
}

void MainWindowLogic::Minimize() {
  shownMinimized_ = true;
  if (!hidden_) ApplyShownState();
}

void MainWindowLogic::NormalSize() {
  shownMinimized_ = false;
  if (!hidden_) ApplyShownState();
}

void MainWindowLogic::Hide() {
  if (!hidden_) shownMinimized_ = view_.IsMinimized();
  hidden_ = true;
  view_.HideWindow();
}

void MainWindowLogic::Show() {
  hidden_ = false;
  ApplyShownState();
  view_.BringToFront();
}

void MainWindowLogic::Close() { view_.CloseWindow(); }

void MainWindowLogic::ApplyShownState() {
  if (shownMinimized_)
    view_.ShowMinimized();
  else
    view_.ShowNormal();
}

}  // namespace zel
