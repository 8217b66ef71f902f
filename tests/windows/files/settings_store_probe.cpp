// Stores the default settings with the given port name into a file, as the setup dialog's OK
// does, and prints "stored" or "failed: <the reason>". test_settings_store.py looks at the file.
//   settings_store_probe PATH PORT
#include <cstdio>

#include "driver/port/SettingsFile.h"

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: settings_store_probe PATH PORT\n");
    return 2;
  }
  zel::PortSettings settings = zel::PortSettings::Defaults();
  settings.PortNumber = argv[2];
  const auto outcome = zel::StoreConfiguration(argv[1], settings);
  if (outcome.Ok()) {
    std::printf("stored\n");
    return 0;
  }
  std::printf("failed: %s\n", outcome.text.c_str());
  return 1;
}
