#include "platform/process_list.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace orv {
namespace {

bool IsPidName(const char* name) {
  if (!*name) return false;
  for (; *name; ++name)
    if (*name < '0' || *name > '9') return false;
  return true;
}

std::string ExePath(const char* pidName) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/%s/exe", pidName);
  char buf[PATH_MAX];
  ssize_t len = ::readlink(link, buf, sizeof buf);
  if (len <= 0) return {};
  return std::string(buf, static_cast<std::size_t>(len));
}

// The user a process runs as (the owner of its /proc entry); -1 when gone.
uid_t OwnerOf(const char* pidName) {
  const std::string entry = std::string("/proc/") + pidName;
  struct stat st {};
  return ::stat(entry.c_str(), &st) == 0 ? st.st_uid : static_cast<uid_t>(-1);
}

template <typename Fn>
void ForEachProcess(Fn&& fn) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir("/proc"), ::closedir);
  if (!dir) return;
  while (dirent* e = ::readdir(dir.get())) {
    if (!IsPidName(e->d_name)) continue;
    if (fn(e->d_name)) return;
  }
}

}  // namespace

std::vector<ProcessEntry> ListProcesses() {
  std::vector<ProcessEntry> out;
  ForEachProcess([&](const char* name) {
    out.push_back({std::atoi(name), ExePath(name)});
    return false;
  });
  return out;
}

bool IsEngineRunning(const std::string& engineLocation) {
  if (engineLocation.empty()) return false;
  const uid_t user = ::getuid();
  bool found = false;
  ForEachProcess([&](const char* name) {
    found = OwnerOf(name) == user && ExePath(name) == engineLocation;
    return found;
  });
  return found;
}

}  // namespace orv
