// The driver's windows look as the README shows them: zelshots renders them again, offscreen, and
// every picture must equal the one in docs/images pixel for pixel (captions, fonts, colours,
// sizes and places of every control).
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/support/DriverProcess.h"

namespace zel {
namespace {

TEST(Pictures, EveryWindowLooksAsTheReadmeShowsIt) {
  QTemporaryDir directory;
  QProcess shots;
  shots.start(QString::fromStdString(BuiltProgram("zelshots")), {directory.path()});
  ASSERT_TRUE(shots.waitForFinished(30000) && shots.exitCode() == 0)
      << shots.readAllStandardError().toStdString();
  for (const char* name :
       {"main-window.png", "about-box.png", "message-bar.png", "setup-dialog.png"}) {
    const QImage rendered(directory.filePath(name)),
        shown(ZEL_SOURCE_DIR "/docs/images/" + QString(name));
    ASSERT_FALSE(rendered.isNull()) << name;
    EXPECT_TRUE(rendered == shown)
        << name << " differs from docs/images: run build/bin/zelshots and look";
  }
}

}  // namespace
}  // namespace zel
