#pragma once
// The port setup dialog "Async port configuration" on Windows: made hidden once, owned by the
// driver's main window, with its lists filled; shown modally for each UserSetupDialog. Its ids are
// in SetupDialogResources.h.

#include <windows.h>

#include "common/win32/Dialog.h"
#include "driver/port/SetupDialogLogic.h"

namespace zel::win32 {

class TComPropertiesDialog : public Dialog, public SetupDialogView {
 public:
  TComPropertiesDialog(HINSTANCE instance, HWND owner);

  void SetFieldTexts(const SetupFieldTexts& texts) override;
  SetupFieldTexts FieldTexts() const override;
  bool RunModal() override;

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  int Scaled(int designPixels) const;
  void PlaceField(int id, const SetupPlace& place);
  void PlaceButton(int id, const SetupPlace& place);

  int dpi_;
  Font font_;
};

}  // namespace zel::win32
