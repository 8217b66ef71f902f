#include "common/qt/DisplayFallback.h"

#include <QByteArray>
#include <QtGlobal>

namespace zel {

void UseOffscreenWithoutDisplay() {
  const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
  const bool displayThere =
      !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  if (!platformChosen && !displayThere) qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
}

}  // namespace zel
