// Starting the driver on POSIX: real programs, detached, and the folders it is looked for in.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "client/DriverStarter.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

fs::path FreshFolder(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / (name + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

TEST(PosixDriverStarter, StartsTheProgramDetachedWithItsArgumentAndLeavesNoChild) {
  const fs::path folder = FreshFolder("zel-starter-");
  const fs::path made = folder / "made by the started program";
  EXPECT_EQ(MakePlatformDriverStarter()->Start("touch", made.string()), "");
  for (int tries = 0; tries < 100 && !fs::exists(made); ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(fs::exists(made));
  // Neither the intermediate child nor the program is ours to reap.
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  fs::remove_all(folder);
}

TEST(PosixDriverStarter, SaysWhyAProgramCannotStart) {
  const fs::path folder = FreshFolder("zel-starter-bad-");
  const fs::path garbage = folder / "ZELdrv";
  std::ofstream(garbage) << "neither a script nor a program\n";
  fs::permissions(garbage, fs::perms::owner_all);
  const auto starter = MakePlatformDriverStarter();
  EXPECT_EQ(starter->Start(garbage.string(), "ZELdriver"),
            "cannot start " + garbage.string() + ": Exec format error");
  EXPECT_EQ(starter->Start("/nonexistent/ZELdrv", "ZELdriver"),
            "cannot start /nonexistent/ZELdrv: not found");
  EXPECT_FALSE(starter->StartsMinimized());
  fs::remove_all(folder);
}

TEST(PosixDriverStarter, FindsTheDriverOnThePathWhenNotBesideTheClient) {
  const fs::path folder = FreshFolder("zel-starter-path-");
  std::ofstream(folder / "ZELdrv") << "#!/bin/sh\n";
  const std::string path = std::getenv("PATH");
  setenv("PATH", ("/nonexistent::" + folder.string() + ':' + path).c_str(), 1);
  const auto starter = MakePlatformDriverStarter();
  EXPECT_EQ(starter->FindDriver(), "") << "found although not executable";
  fs::permissions(folder / "ZELdrv", fs::perms::owner_all);
  EXPECT_EQ(starter->FindDriver(), (folder / "ZELdrv").string());
  setenv("PATH", path.c_str(), 1);
  fs::remove_all(folder);
}

}  // namespace
}  // namespace zel::test
