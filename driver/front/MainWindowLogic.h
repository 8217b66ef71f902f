#pragma once
// The driver's main window, apart from any toolkit: its creation and close paths, the menu
// commands, the window commands and the status indicator. A toolkit's strip window implements
// MainWindowView and forwards its events here.

#include <functional>
#include <memory>
#include <string>

#include "driver/front/DriverFront.h"
#include "driver/front/DriverWindow.h"
#include "driver/front/StatusSink.h"

namespace zel {

// The strip's fixed measures, in pixels as they stand.
inline constexpr int MainClientWidth = 128;
inline constexpr int MainClientHeight = 22;
inline constexpr char MainWindowCaption[] = "ZEL";

class MainWindowView {
 public:
  virtual ~MainWindowView() = default;
  // FormCreate's look: the window at the top left corner of the screen, Panel1 at (0, 0) with
  // the given size.
  virtual void PlaceAtTopLeft(int panelWidth, int panelHeight) = 0;
  // TextIndicator shows the text (8-bit, the platform's encoding), sized to it.
  virtual void ShowIndicatorText(const std::string& text) = 0;
  virtual void ShowNormal() = 0;
  virtual void ShowMinimized() = 0;
  virtual void HideWindow() = 0;
  virtual bool IsMinimized() const = 0;
  virtual void BringToFront() = 0;
  // Starts the window's own close (as its close box does); the toolkit then calls FormClose.
  virtual void CloseWindow() = 0;
  // Shows the About box modally, when there is one.
  virtual void RunAboutBox() = 0;
  // Ends every modal window that is open as cancelled, the setup dialog first.
  virtual void EndModalWindows() = 0;
  // Ends the program's message loop.
  virtual void EndMessageLoop() = 0;
};

class MainWindowLogic : public DriverWindow, public StatusSink {
 public:
  // Every status text also goes to `echo` when there is one.
  MainWindowLogic(DriverFront& front, MainWindowView& view, StatusSink* echo = nullptr);
  // Destroys the port object if no close did.
  ~MainWindowLogic() override;
  MainWindowLogic(const MainWindowLogic&) = delete;
  MainWindowLogic& operator=(const MainWindowLogic&) = delete;

  // Places the window, hands the setup dialog to the port object and the port object to the
  // front, which sets the port up.
  void FormCreate(std::unique_ptr<TComProperties> comProperties, PortSettingsEditor* setupDialog);
  // Every close path ends here: commands still queued are dropped, open modal windows end as
  // cancelled, the port object is destroyed and the loop ended. When a menu command's modal
  // window is still on the stack, the destruction waits until that command returns.
  void FormClose();

  // The menu commands.
  void Close1Click();
  void Setup1Click();  // empties the indicator, then lets the user set the port up
  void About1Click();

  // The window commands. A hidden window only remembers a change of state and comes back only
  // with Show, which also brings it to the front.
  void Minimize() override;
  void NormalSize() override;
  void Hide() override;
  void Show() override;
  void Close() override;

  void SetStatusText(const std::string& text) override;

  bool WindowHidden() const { return hidden_; }
  bool Closed() const { return closed_; }

 private:
  // Runs a menu command's modal window; a close that came meanwhile is finished afterwards.
  void RunModal(const std::function<void()>& modal);
  void FinishClose();
  void ApplyShownState();

  DriverFront& front_;
  MainWindowView& view_;
  StatusSink* echo_;
  int modalDepth_ = 0;           // modal windows that menu commands of this window have open
  bool closing_ = false;         // FormClose has begun
  bool closed_ = false;          // the port object is gone
  bool hidden_ = false;          // by the command "Hide", until "Show"
  bool shownMinimized_ = false;  // the state in which a hidden window comes back
};

}  // namespace zel
