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
constexpr int FontPixels = 13;
const QColor Teal(0, 128, 128);

QFont WindowFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(FontPixels);
  return font;
}

}  // namespace

TMainForm::TMainForm(DriverFront& front, std::unique_ptr<TComProperties> comProperties,
                     StatusSink* echo, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                              Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint),
      logic_(front, *this, echo) {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QString::fromLatin1(MainWindowCaption));
  setFont(WindowFont());
  setToolTip(QString::fromLatin1(ProgramTitle));

  N1 = menuBar()->addMenu(QStringLiteral("&!"));
  About1 = N1->addAction(QStringLiteral("&About"));
  N1->addSeparator();
  Close1 = N1->addAction(QStringLiteral("&Close"));
  // Acts at once, without a submenu.
  Setup1 = menuBar()->addAction(QStringLiteral("&Setup"));
  connect(About1, &QAction::triggered, this, [this] { logic_.About1Click(); });
  connect(Close1, &QAction::triggered, this, [this] { logic_.Close1Click(); });
  connect(Setup1, &QAction::triggered, this, [this] { logic_.Setup1Click(); });

  auto* client = new QWidget(this);
  client->setFixedSize(MainClientWidth, MainClientHeight);
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

  setupDialog_ = new TComPropertiesDialog(this);
  logic_.FormCreate(std::move(comProperties), &setupDialog_->Logic);
}

void TMainForm::closeEvent(QCloseEvent* event) {
  logic_.FormClose();
  event->accept();
}

void TMainForm::PlaceAtTopLeft(int panelWidth, int panelHeight) {
  move(0, 0);
  Panel1->setGeometry(0, 0, panelWidth, panelHeight);
}

void TMainForm::ShowIndicatorText(const std::string& text) {
  TextIndicator->setText(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
  TextIndicator->adjustSize();
}

void TMainForm::ShowNormal() { showNormal(); }
void TMainForm::ShowMinimized() { showMinimized(); }
void TMainForm::HideWindow() { hide(); }
bool TMainForm::IsMinimized() const { return isMinimized(); }

void TMainForm::BringToFront() {
  raise();
  activateWindow();
}

void TMainForm::CloseWindow() { close(); }

void TMainForm::RunAboutBox() {
  if (AboutBox != nullptr) AboutBox->exec();
}

void TMainForm::EndModalWindows() {
  setupDialog_->close();
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

void TMainForm::EndMessageLoop() { QCoreApplication::quit(); }

}  // namespace zel
