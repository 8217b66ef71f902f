#include "driver/port/posix/OpenFailure.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace zel {

namespace {

// A machine with many busy processes must not make a failed open slow.
constexpr size_t MostDescriptorsLooked = 100000;

bool ProcessHasGroup(gid_t group) {
  if (::getegid() == group) return true;
  const int count = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(static_cast<size_t>(count > 0 ? count : 0));
  if (count <= 0 || ::getgroups(count, groups.data()) != count) return false;
  for (const gid_t g : groups) {
    if (g == group) return true;
  }
  return false;
}

bool UserListedInGroup(const group& entry) {
  const passwd* user = ::getpwuid(::geteuid());
  if (user == nullptr) return false;
  if (user->pw_gid == entry.gr_gid) return true;
  for (char** member = entry.gr_mem; member != nullptr && *member != nullptr; ++member) {
    if (std::strcmp(*member, user->pw_name) == 0) return true;
  }
  return false;
}

std::string ProcessName(const std::string& pid) {
  std::ifstream comm("/proc/" + pid + "/comm");
  std::string name;
  std::getline(comm, name);
  return name.empty() ? "?" : name;
}

}  // namespace

std::string AccessDeniedText(const std::string& systemText, const DeviceAccess& access) {
  if (access.group.empty()) return systemText + " (is the user in group dialout?)";
  if (!access.groupMayUse) {
    return systemText + " (not even group " + access.group + " may use it: see its permissions)";
  }
  if (access.inGroupNow) return systemText;
  if (access.inGroupOnRecord) {
    return systemText + " (the user joined group " + access.group +
           " after logging in: log in again)";
  }
  return systemText + " (the user is not in group " + access.group + ": sudo usermod -aG " +
         access.group + " $USER, then log in again)";
}

std::string InUseText(const std::vector<DeviceHolder>& holders) {
  std::string text = "in use by another program";
  if (!holders.empty()) text += ": held open by";
  for (size_t i = 0; i < holders.size(); ++i) {
    text += (i == 0 ? " PID " : ", PID ") + std::to_string(holders[i].pid) + " (" +
            holders[i].name + ")";
  }
  return text;
}

DeviceAccess LookUpDeviceAccess(const std::string& path) {
  DeviceAccess access;
  struct stat device {};
  if (::stat(path.c_str(), &device) != 0) return access;
  const group* entry = ::getgrgid(device.st_gid);
  if (entry == nullptr) return access;
  access.group = entry->gr_name;
  access.groupMayUse = (device.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  access.inGroupOnRecord = UserListedInGroup(*entry);
  access.inGroupNow = ProcessHasGroup(device.st_gid);
  return access;
}

std::vector<DeviceHolder> FindDeviceHolders(const std::string& path, size_t most) {
  std::vector<DeviceHolder> holders;
  struct stat device {};
  if (::stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) return holders;
  DIR* processes = ::opendir("/proc");
  if (processes == nullptr) return holders;
  const std::string self = std::to_string(::getpid());
  size_t looked = 0;
  while (const dirent* process = ::readdir(processes)) {
    const std::string pid = process->d_name;
    if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
    const std::string fds = "/proc/" + pid + "/fd";
    DIR* descriptors = ::opendir(fds.c_str());
    if (descriptors == nullptr) continue;  // gone, or not ours to look into
    bool holds = false;
    while (const dirent* fd = ::readdir(descriptors)) {
      if (fd->d_name[0] == '.') continue;
      if (++looked > MostDescriptorsLooked) break;
      struct stat open {};
      holds = ::stat((fds + "/" + fd->d_name).c_str(), &open) == 0 && S_ISCHR(open.st_mode) &&
              open.st_rdev == device.st_rdev;
      if (holds) break;
    }
    ::closedir(descriptors);
    if (holds) holders.push_back({std::atoi(pid.c_str()), ProcessName(pid)});
    if (holders.size() >= most || looked > MostDescriptorsLooked) break;
  }
  ::closedir(processes);
  return holders;
}

}  // namespace zel
