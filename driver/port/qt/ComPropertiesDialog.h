#pragma once
// The port setup dialog "Async port configuration": the window in which the user edits the seven
// port settings.

#include <QDialog>
#include <array>
#include <string>

#include "driver/port/ComProperties.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace zel {

class TComPropertiesDialog : public QDialog, public PortSettingsEditor {
  Q_OBJECT

 public:
  // Builds the window hidden, its fields empty.
  explicit TComPropertiesDialog(QWidget* parent = nullptr);

  // Puts the seven texts into the fields, centres the window on the screen, puts the focus into
  // PortNumCBox and runs the window modally. True only for OK: the texts then hold the fields'
  // texts as they stand (a field left as it was keeps its exact bytes). Cancel, Esc, reject() or
  // close() from outside, or destroying the window meanwhile give false and leave the texts
  // alone; once the window was destroyed nothing of it is touched.
  bool Edit(PortSettings& settings) override;

 private:
  struct Field {
    QComboBox* box;
    std::string PortSettings::*text;
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
