#pragma once
// The port setup dialog "Async port configuration": what it does, apart from any toolkit. A
// toolkit's dialog window implements SetupDialogView; SetupDialogLogic is the editor that the
// port object's UserSetupDialog shows.

#include <array>
#include <string>
#include <vector>

#include "driver/port/ComProperties.h"

namespace zel {

inline constexpr char SetupDialogCaption[] = "Async port configuration";

// The seven fields, in the order of their texts in PortSettings.
enum class SetupField { PortNumber, TransferRate, StopBits, Paritet, LatencyPeriod, DTR, RTS };
inline constexpr int SetupFieldCount = 7;
using SetupFieldTexts = std::array<std::string, SetupFieldCount>;

// The items of a field's drop-down list, in order; the port list goes on with `devices`, the
// serial devices present on this machine (SerialDeviceNames, which the window asks the platform).
std::vector<std::string> SetupFieldItems(SetupField field, std::vector<std::string> devices);

// Where the controls stand, in pixels of a 120 dpi screen; the windows scale this to the screen
// they are shown on.
struct SetupPlace {
  int left, top, width, height;
};
inline constexpr int SetupDesignDpi = 120;
inline constexpr int SetupClientWidth = 322;
inline constexpr int SetupClientHeight = 277;
inline constexpr int SetupFontPixels = 13;
// A field with the label above it (Label1 to Label7: `labelNumber`), in the order of SetupField.
struct SetupFieldLayout {
  int labelNumber;
  const char* label;
  int labelLeft, labelTop;
  SetupPlace field;
};
inline constexpr SetupFieldLayout SetupFieldLayouts[SetupFieldCount] = {
    {2, "Port number", 8, 8, {8, 24, 137, 24}},
    {3, "Transmit speed", 176, 8, {176, 24, 137, 24}},
    {1, "Number of stop bits", 8, 64, {8, 80, 137, 24}},
    {4, "Parity", 176, 64, {176, 80, 137, 24}},
    {5, "Latency period", 8, 116, {8, 132, 305, 24}},
    {6, "DTR control", 8, 172, {8, 188, 137, 24}},
    {7, "RTS control", 176, 172, {176, 188, 137, 24}}};
inline constexpr SetupPlace SetupOkPlace{8, 236, 101, 33};
inline constexpr SetupPlace SetupCancelPlace{132, 236, 181, 33};

class SetupDialogView {
 public:
  virtual ~SetupDialogView() = default;
  // Puts the texts (8-bit, the platform's encoding) into the seven editable fields; a text in a
  // field's list selects that item, any other stands as typed.
  virtual void SetFieldTexts(const SetupFieldTexts& texts) = 0;
  // The fields' texts as they stand now.
  virtual SetupFieldTexts FieldTexts() const = 0;
  // Centres the window on the screen, puts the focus into PortNumCBox and runs the window
  // modally. True only for OK; Cancel, Esc, a close from outside or the window's destruction
  // inside its loop give false, and after a destruction nothing of the view may be touched.
  virtual bool RunModal() = 0;
};

class SetupDialogLogic : public PortSettingsEditor {
 public:
  explicit SetupDialogLogic(SetupDialogView& view) : view_(view) {}
  // Shows the settings; on OK takes over the texts of the fields the user changed (a field left
  // as it was keeps its exact bytes, also those the window cannot show).
  bool Edit(PortSettings& settings) override;

 private:
  SetupDialogView& view_;
};

}  // namespace zel
