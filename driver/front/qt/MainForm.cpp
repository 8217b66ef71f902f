#include "driver/front/qt/MainForm.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QList>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPointer>
#include <utility>

#include "driver/front/DriverWords.h"
#include "driver/front/qt/AboutBox.h"
#include "driver/port/qt/ComPropertiesDialog.h"

namespace zel {

namespace {

// Pixels as they stand, whatever the screen's resolution.
constexpr int ClientWidth = 128;
constexpr int ClientHeight = 22;
constexpr int FontPixels = 13;
const QColor Teal(0, 128, 128);

QFont WindowFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(FontPixels);
  return font;
}

// Ends every modal window that is open as cancelled.
void EndModalWindows() {
  QList<QPointer<QWidget>> open;
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible() && window->isModal()) open.append(window);
  for (const QPointer<QWidget>& window : open) {
    if (window.isNull()) continue;
    if (auto* dialog = qobject_cast<QDialog*>(window.data()))
      dialog->reject();
    else
      window->close();
  }
}

}  // namespace

// Counts a modal window that a menu command keeps open on the stack.
class TMainForm::ModalScope {
 public:
  explicit ModalScope(int& depth) : depth_(depth) { ++depth_; }
  ~ModalScope() { --depth_; }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

 private:
  int& depth_;
};

TMainForm::TMainForm(DriverFront& front, std::unique_ptr<TComProperties> comProperties,
                     StatusSink* echo, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                              Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      front_(front),
      echo_(echo) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("ZEL"));
  setFont(WindowFont());
  setToolTip(QString::fromLatin1(ProgramTitle));

  N1 = menuBar()->addMenu(QStringLiteral("&!"));
  About1 = N1->addAction(QStringLiteral("&About"));
  N1->addSeparator();
  Close1 = N1->addAction(QStringLiteral("&Close"));
  // Acts at once, without a submenu.
  Setup1 = menuBar()->addAction(QStringLiteral("&Setup"));
  connect(About1, &QAction::triggered, this, [this] { About1Click(); });
  connect(Close1, &QAction::triggered, this, [this] { Close1Click(); });
  connect(Setup1, &QAction::triggered, this, [this] { Setup1Click(); });

  auto* client = new QWidget(this);
  client->setFixedSize(ClientWidth, ClientHeight);
  setCentralWidget(client);
  // Neither the user nor a style may resize it.
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  Panel1 = new QFrame(client);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel1->setLineWidth(1);
  Panel1->setAutoFillBackground(true);
  QPalette black = Panel1->palette();
  black.setColor(QPalette::Window, Qt::black);
  Panel1->setPalette(black);

  TextIndicator = new QLabel(Panel1);
  TextIndicator->setObjectName(QStringLiteral("TextIndicator"));
  TextIndicator->setTextFormat(Qt::PlainText);
  QFont bold = WindowFont();
  bold.setBold(true);
  TextIndicator->setFont(bold);
  QPalette teal = TextIndicator->palette();
  teal.setColor(QPalette::WindowText, Teal);
  TextIndicator->setPalette(teal);
  TextIndicator->move(1, 1);
  TextIndicator->adjustSize();

  FormCreate(std::move(comProperties));
}

TMainForm::~TMainForm() {
  if (!closed_) front_.FormClose();
}

void TMainForm::FormCreate(std::unique_ptr<TComProperties> comProperties) {
  // The top left corner, wherever the window was laid out.
  move(0, 0);
  Panel1->setGeometry(0, 0, ClientWidth, ClientHeight - 2);
  setupDialog_ = new TComPropertiesDialog(this);
  comProperties->SetupDialog = setupDialog_;
  // The port object loads the configuration and sets the port up; the buffers are cleared.
  front_.FormCreate(std::move(comProperties));
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TMainForm::FormClose() {
  if (closing_) return;
  closing_ = true;
  // Commands that are still queued must not reach the port object any more.
  front_.ZELdriver.StopHandling();
  // The link serves inside modal loops, so a "Close" may arrive in one: they all end as
  // cancelled, the setup dialog first.
  if (setupDialog_ != nullptr) setupDialog_->close();
  EndModalWindows();
  if (modalDepth_ == 0) {
    FinishClose();
    return;
  }
  // The menu command that opened the modal window is still on the stack below us and may use
  // the port object until it returns; it finishes the close then.
  QCoreApplication::quit();
}

void TMainForm::FinishClose() {
  if (closed_) return;
  closed_ = true;
  front_.FormClose();  // closes the port
  if (setupDialog_ != nullptr) setupDialog_->close();
  QCoreApplication::quit();
}

void TMainForm::Close1Click() { close(); }

void TMainForm::Setup1Click() {
  if (closing_) return;
  SetStatusText("");
  TComProperties* port = front_.ComProperties();
  if (port == nullptr) return;
  {
    ModalScope scope(modalDepth_);
    port->UserSetupDialog();
  }
  if (closing_ && modalDepth_ == 0) FinishClose();
}

void TMainForm::About1Click() {
  if (closing_ || AboutBox == nullptr) return;
  {
    ModalScope scope(modalDepth_);
    AboutBox->exec();
  }
  if (closing_ && modalDepth_ == 0) FinishClose();
}

void TMainForm::SetStatusText(const std::string& text) {
  TextIndicator->setText(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
  TextIndicator->adjustSize();
  if (echo_ != nullptr) echo_->SetStatusText(text);
}

void TMainForm::Minimize() {
  shownMinimized_ = true;
  if (!hidden_) ApplyShownState();
}

void TMainForm::NormalSize() {
  shownMinimized_ = false;
  if (!hidden_) ApplyShownState();
}

void TMainForm::Hide() {
  if (!hidden_) shownMinimized_ = isMinimized();
  hidden_ = true;
  hide();
}

void TMainForm::Show() {
  hidden_ = false;
  ApplyShownState();
  raise();
  activateWindow();
}

void TMainForm::Close() { close(); }

void TMainForm::ApplyShownState() {
  if (shownMinimized_)
    showMinimized();
  else
    showNormal();
}

}  // namespace zel
