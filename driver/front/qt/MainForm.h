#pragma once
// The driver's main window: a small strip, always on top, with the status indicator and a menu.
// It shows and forwards; what it does lies in MainWindowLogic.

#include <QMainWindow>
#include <memory>
#include <string>

#include "driver/front/MainWindowLogic.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;

namespace zel {

class TComPropertiesDialog;

class TMainForm : public QMainWindow, public MainWindowView {
  Q_OBJECT

 public:
  // Runs FormCreate: the setup dialog is made and `comProperties` handed to the front, which sets
  // the port up. Every status text also goes to `echo` when there is one. Built hidden.
  TMainForm(DriverFront& front, std::unique_ptr<TComProperties> comProperties,
            StatusSink* echo = nullptr, QWidget* parent = nullptr);

  // The window's behaviour: the front's window commands and status texts go here.
  MainWindowLogic& Logic() { return logic_; }
  TComPropertiesDialog* SetupDialog() const { return setupDialog_; }

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

  QFrame* Panel1;
  QLabel* TextIndicator;
  QMenu* N1;  // "&!"
  QAction* About1;
  QAction* Close1;
  QAction* Setup1;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  TComPropertiesDialog* setupDialog_ = nullptr;  // a child of the window, made by FormCreate
  MainWindowLogic logic_;
};

}  // namespace zel
