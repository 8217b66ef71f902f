#pragma once
// The port setup dialog's window: the seven fields and the two buttons. What the dialog does lies
// in SetupDialogLogic.

#include <QDialog>
#include <array>
#include <string>

#include "driver/port/SetupDialogLogic.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace zel {

class TComPropertiesDialog : public QDialog, public SetupDialogView {
  Q_OBJECT

 public:
  // Builds the window hidden, its fields empty.
  explicit TComPropertiesDialog(QWidget* parent = nullptr);

  void SetFieldTexts(const SetupFieldTexts& texts) override;
  SetupFieldTexts FieldTexts() const override;
  bool RunModal() override;

  // The editor that the port object's UserSetupDialog shows: this window.
  SetupDialogLogic Logic{*this};

 private:
  QComboBox* AddField(const char* name, const SetupPlace& place);
  QPushButton* AddButton(const char* name, const char* caption, const SetupPlace& place);
  int Scaled(int designPixels) const;
  void CentreOnScreen();

  double scale_;
  std::array<QComboBox*, SetupFieldCount> fields_;  // in the order of SetupField
};

}  // namespace zel
