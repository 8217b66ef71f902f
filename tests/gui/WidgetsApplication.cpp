// The one QApplication of the widget tests, alive while the tests run. The platform comes from
// QT_QPA_PLATFORM (offscreen when run through CTest).
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace zel::test {

class WidgetsApplication : public ::testing::Environment {
  void SetUp() override { application_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { application_.reset(); }

  char name_[10] = "gui_tests";
  char* argv_[2] = {name_, nullptr};
  int argc_ = 1;
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const Registered =
    ::testing::AddGlobalTestEnvironment(new WidgetsApplication);

}  // namespace zel::test
