#include <dirent.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/dvd_drives.h"
#include "platform/ini_file.h"
#include "platform/text.h"

namespace orv {
namespace {

// Image paths may be longer than the 255 characters other settings keep.
constexpr std::size_t kDrivePathBuffer = PATH_MAX;

// "sr12" gives 12; other names give -1.
long OpticalNumber(const std::string& name) {
  if (name.size() < 3 || name.compare(0, 2, "sr") != 0) return -1;
  long n = 0;
  for (std::size_t i = 2; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || n > 9999) return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

std::string RootText(char letter) { return std::string(1, letter) + ":\\"; }

}  // namespace

std::vector<std::string> OpticalDevices(const std::string& devFolder) {
  std::vector<std::pair<long, std::string>> found;
  if (DIR* dir = opendir(devFolder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const long n = OpticalNumber(entry->d_name);
      if (n >= 0) found.emplace_back(n, entry->d_name);
    }
    closedir(dir);
  }
  // sr10 comes after sr9, not after sr1.
  std::sort(found.begin(), found.end());
  std::vector<std::string> devices;
  const std::string folder =
      devFolder.empty() || devFolder.back() == '/' ? devFolder : devFolder + "/";
  for (const auto& [n, name] : found) devices.push_back(folder + name);
  return devices;
}

std::vector<DvdDrive> DvdDrivesFrom(const std::vector<std::string>& opticalDevices,
                                    const std::string& settingsFile) {
  std::vector<DvdDrive> drives;
  char letter = kFirstOpticalLetter;
  for (const std::string& device : opticalDevices) {
    if (letter > 'Z') break;
    drives.push_back({letter, RootText(letter), device});
    ++letter;
  }
  for (char l = 'A'; l <= 'Z'; ++l) {
    const std::string target =
        GetProfileString(kDrivesSection, std::string(1, l), "", settingsFile, kDrivePathBuffer);
    if (target.empty()) continue;
    auto same = std::find_if(drives.begin(), drives.end(),
                             [l](const DvdDrive& d) { return d.letter == l; });
    if (same != drives.end())
      same->device = target;
    else
      drives.push_back({l, RootText(l), target});
  }
  std::sort(drives.begin(), drives.end(),
            [](const DvdDrive& a, const DvdDrive& b) { return a.letter < b.letter; });
  return drives;
}

std::vector<DvdDrive> ListDvdDrives(const std::string& settingsFile) {
  return DvdDrivesFrom(OpticalDevices(), settingsFile);
}

char DriveLetterOf(const std::string& deviceText) {
  std::string t = TrimBlanks(deviceText);
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"')
    t = TrimBlanks(t.substr(1, t.size() - 2));
  if (t.size() < 2 || t.size() > 3 || t[1] != ':') return 0;
  const char c = AsciiLower(t.substr(0, 1))[0];
  if (c < 'a' || c > 'z') return 0;
  if (t.size() == 3 && t[2] != '\\' && t[2] != '/') return 0;
  return static_cast<char>(c - 'a' + 'A');
}

ResolvedDevice ResolveDvdDevice(const std::string& deviceText,
                                const std::vector<DvdDrive>& drives) {
  ResolvedDevice result;
  const char letter = DriveLetterOf(deviceText);
  if (!letter) {
    std::string path = TrimBlanks(deviceText);
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"')
      path = path.substr(1, path.size() - 2);
    if (path.empty())
      result.error = "no DVD device given";
    else
      result.device = path;
    return result;
  }
  for (const DvdDrive& d : drives) {
    if (d.letter == letter) {
      result.device = d.device;
      return result;
    }
  }
  result.error = std::string("there is no DVD drive ") + letter +
                 ": (no optical device and no [DRIVES] entry for it)";
  return result;
}

}  // namespace orv
