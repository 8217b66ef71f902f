#pragma once
// The driver's main window on Windows: the strip with the status indicator and the menu, always
// on top. Creating it creates the setup dialog and runs FormCreate, which sets the port up;
// closing it ends the program. Its ids are in DriverResources.h.

#include <windows.h>

#include <memory>

#include "common/win32/Dialog.h"
#include "driver/front/MainWindowLogic.h"
#include "driver/port/SetupDialogLogic.h"
#include "driver/port/win32/ComPropertiesDialog.h"

namespace zel::win32 {

class TAboutBox;

class TMainForm : public Dialog, public MainWindowView {
 public:
  // Made hidden. Every status text also goes to `echo` when there is one.
  TMainForm(HINSTANCE instance, DriverFront& front, std::unique_ptr<TComProperties> comProperties,
            StatusSink* echo);
  ~TMainForm() override;

  MainWindowLogic& Logic() { return logic_; }
  // The box that About1Click shows; null for none.
  void SetAboutBox(TAboutBox* box) { aboutBox_ = box; }

  void PlaceAtTopLeft(int panelWidth, int panelHeight) override;
  void ShowIndicatorText(const std::string& text) override;
  void ShowNormal() override;
  void ShowMinimized() override;
  void HideWindow() override;
  bool IsMinimized() const override;
  void BringToFront() override;
  void CloseWindow() override;
  void RunAboutBox() override;
  void EndModalWindows() override;
  void EndMessageLoop() override;

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void AddHint(HINSTANCE instance);

  Font indicatorFont_{13, true, L"MS Sans Serif"};
  MainWindowLogic logic_;
  std::unique_ptr<TComPropertiesDialog> setupDialog_;
  std::unique_ptr<SetupDialogLogic> setupLogic_;
  TAboutBox* aboutBox_ = nullptr;
  HWND hint_ = nullptr;
};

}  // namespace zel::win32
