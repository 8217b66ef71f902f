#include "client/DriverStarter.h"

#include <windows.h>

#include "common/Names.h"
#include "common/win32/SystemText.h"

namespace zel {

namespace {

std::wstring OwnFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class Win32DriverStarter : public DriverStarter {
 public:
  std::string Start(const std::string& program, const std::string& argument) override {
    const std::wstring path = win32::Wide(program);
    std::wstring commandLine = L"\"" + path + L"\" " + win32::Wide(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
    PROCESS_INFORMATION process{};
    // Detached and without our handles: the driver outlives the client and owns nothing of it.
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                        nullptr, nullptr, &startup, &process)) {
      return "cannot start " + program + ": " + win32::SystemErrorText(GetLastError());
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {};
  }

  std::string FindDriver() const override {
    const std::wstring name = win32::Wide(std::string(DriverService) + ".exe");
    const std::wstring beside = OwnFolder() + name;
    if (IsFile(beside)) return win32::Narrow(beside);
    std::wstring found(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length = SearchPathW(nullptr, name.c_str(), nullptr,
                                       static_cast<DWORD>(found.size()), found.data(), nullptr);
      if (length == 0) return {};
      if (length < found.size()) {
        found.resize(length);
        return win32::Narrow(found);
      }
      found.resize(length);  // the size needed, with its NUL
    }
  }

  bool StartsMinimized() const override { return true; }
};

}  // namespace

std::unique_ptr<DriverStarter> MakePlatformDriverStarter() {
  return std::make_unique<Win32DriverStarter>();
}

}  // namespace zel
