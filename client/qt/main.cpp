// ZELcli: the test client with which a person works the driver ZELdrv by hand.
#include <QApplication>

#include "client/qt/ClientForm.h"
#include "common/qt/DisplayFallback.h"
#include "common/qt/WriteBar.h"

using namespace zel;

int main(int argc, char* argv[]) {
  UseOffscreenWithoutDisplay();
  QApplication application(argc, argv);
  QApplication::setApplicationName(ClientCaption);
  TForm1 form;
  TWriteBar writeBar;
  WriteBar = &writeBar;
  form.show();
  return QApplication::exec();
}
