#include "common/DisplayFallback.h"

#include <QByteArray>
#include <QtGlobal>

void UseOffscreenWithoutDisplay() {
  const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
  const bool displayThere =
      !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  if (!platformChosen && !displayThere) qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
}
