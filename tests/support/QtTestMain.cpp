// GoogleTest main for tests that need a Qt application object: sockets, processes, windows. The
// platform comes from QT_QPA_PLATFORM (offscreen when run through CTest).

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
