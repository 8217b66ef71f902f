// The configuration loader over any file. A damaged file gives the defaults; whatever was loaded
// stores, and the stored file loads the very same settings.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "driver/port/SettingsFile.h"
#include "tests/fuzz/FuzzCheck.h"

using namespace zel;

namespace {

auto Fields(const PortSettings& s) {
  return std::tie(s.PortNumber, s.TransferRate, s.StopBits, s.Paritet, s.LatencyPeriod,
                  s.DTRControl, s.RTSControl, s.WriteTimeOutMultiplier, s.WriteTimeOutConstant);
}

// Files of this process, in memory where the machine allows it: each run writes two.
std::string PathStem() {
  const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(base) + "/zel-fuzz-settings-" + std::to_string(getpid());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string stem = PathStem();
  static const std::string loaded = stem + ".ini", stored = stem + "-stored.ini";
  std::FILE* file = std::fopen(loaded.c_str(), "wb");
  ZEL_FUZZ_CHECK(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);

  PortSettings settings, again;
  if (!LoadConfiguration(loaded, settings).Ok()) {
    ZEL_FUZZ_CHECK(Fields(settings) == Fields(PortSettings::Defaults()));
  }
  ZEL_FUZZ_CHECK(settings.BaudRate() != 0u);  // a rate of 0 would hang the line up
  ZEL_FUZZ_CHECK(StoreConfiguration(stored, settings).Ok());
  ZEL_FUZZ_CHECK(LoadConfiguration(stored, again).Ok() && Fields(again) == Fields(settings));
  std::remove(loaded.c_str());
  std::remove(stored.c_str());
  return 0;
}
