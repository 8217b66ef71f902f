#pragma once
// The port setup dialog "Async port configuration": the window in which the user edits the seven
// port settings, and the carrier of the settings between "ZELdrv.ini" and the port object.

#include <QDialog>
#include <array>
#include <string>

#include "driver/port/PortSettings.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace zel {

class TComPropertiesDialog : public QDialog, public PortSettingsCarrier {
  Q_OBJECT

 public:
  // Builds the window hidden, its fields empty. programDirectory and notice as for the carrier.
  TComPropertiesDialog(std::string programDirectory, Notice& notice, QWidget* parent = nullptr);

  // Puts the carrier's seven texts into the fields, centres the window on the screen, puts the
  // focus into PortNumCBox and runs the window modally. True only for OK: the carrier's texts
  // then hold the fields' texts as they stand (a field left as it was keeps its exact bytes).
  // Cancel, Esc, reject() or close() from outside, or destroying the window meanwhile give false
  // and leave the texts alone; once the window was destroyed nothing of it is touched.
  bool ShowModally() override;

 private:
  struct Field {
    QComboBox* box;
    std::string PortSettingsCarrier::*text;
  };

  QLabel* AddLabel(const char* name, const char* caption, int left, int top);
  QComboBox* AddField(const char* name, int left, int top, int width);
  QPushButton* AddButton(const char* name, const char* caption, int left, int top, int width);
  int Scaled(int designPixels) const;
  void CentreOnScreen();

  double scale_;
  QComboBox* portNumBox_;
  std::array<Field, 7> fields_;
};

}  // namespace zel
