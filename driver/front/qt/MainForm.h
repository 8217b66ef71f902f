#pragma once
// The driver's main window: a small strip, always on top, with the status indicator and a menu.
// Creating it creates the setup dialog and, through the front, the port object; closing it
// destroys them and ends the program.

#include <QMainWindow>
#include <memory>
#include <string>

#include "driver/front/DriverFront.h"
#include "driver/front/DriverWindow.h"
#include "driver/front/StatusSink.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;

namespace zel {

class Notice;
class TComPropertiesDialog;

class TMainForm : public QMainWindow, public DriverWindow, public StatusSink {
  Q_OBJECT

 public:
  // Runs FormCreate: the setup dialog is made and `comProperties` handed to the front, which sets
  // the port up. Every status text also goes to `echo` when there is one. Built hidden.
  TMainForm(DriverFront& front, std::unique_ptr<TComProperties> comProperties,
            StatusSink* echo = nullptr, QWidget* parent = nullptr);
  // Destroys the port object if no close did.
  ~TMainForm() override;

  // The window commands. A hidden window only remembers a change of state and comes back only
  // with Show, which also brings it to the front.
  void Minimize() override;
  void NormalSize() override;
  void Hide() override;
  void Show() override;
  // Closes the window as its close box does: the program ends.
  void Close() override;

  // Shows the text in TextIndicator, sized to it, and hands it to the echo.
  void SetStatusText(const std::string& text) override;

  // The menu commands.
  void Close1Click();
  void Setup1Click();  // empties the indicator, then lets the user set the port up
  void About1Click();  // shows AboutBox modally, when there is one

  TComPropertiesDialog* SetupDialog() const { return setupDialog_; }
  bool WindowHidden() const { return hidden_; }

  QFrame* Panel1;
  QLabel* TextIndicator;
  QMenu* N1;  // "&!"
  QAction* About1;
  QAction* Close1;
  QAction* Setup1;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class ModalScope;

  void FormCreate(std::unique_ptr<TComProperties> comProperties);
  void FormClose();
  void FinishClose();
  void ApplyShownState();

  DriverFront& front_;
  StatusSink* echo_;
  TComPropertiesDialog* setupDialog_ = nullptr;  // a child of the window
  int modalDepth_ = 0;           // modal windows that menu commands of this window have open
  bool closing_ = false;         // FormClose has begun
  bool closed_ = false;          // the port object is gone
  bool hidden_ = false;          // by the command "Hide", until "Show"
  bool shownMinimized_ = false;  // the state in which a hidden window comes back
};

}  // namespace zel
