// DVD drives as drive letters. Optical devices take letters in device order
// (/dev/sr0 is D:, /dev/sr1 is E:, ...); the settings file's section
// [DRIVES] gives further letters to a disc image or to a folder holding
// VIDEO_TS ("F=/home/u/film.iso", "G=/home/u/Film"), so a copied disc is a
// drive too. An entry for a letter an optical device already has replaces
// the device. The GUI lists these drives; the engine resolves -dvd-device
// with the same map.
#pragma once

#include <string>
#include <vector>

namespace orv {

inline constexpr const char* kDrivesSection = "DRIVES";
inline constexpr char kFirstOpticalLetter = 'D';

struct DvdDrive {
  char letter = 0;     // upper case
  std::string root;    // "E:\", the drive's identifier in command lines and items
  std::string device;  // what libdvdread opens: a device node, an image or a folder
};

// The optical devices of this machine in order: /dev/sr0, /dev/sr1, ...
// devFolder is injectable for tests.
std::vector<std::string> OpticalDevices(const std::string& devFolder = "/dev");

// Letters for the optical devices, then the [DRIVES] entries of settingsFile,
// sorted by letter. Entries are listed whether or not their target exists (a
// drive may be empty); values that are empty are not drives.
std::vector<DvdDrive> DvdDrivesFrom(const std::vector<std::string>& opticalDevices,
                                    const std::string& settingsFile);

// DvdDrivesFrom(OpticalDevices(), settingsFile).
std::vector<DvdDrive> ListDvdDrives(const std::string& settingsFile);

// The letter named by a device text, upper case: "e:", "\"e:\"", "E:\",
// "E:/" give 'E'; anything else (a path) gives 0.
char DriveLetterOf(const std::string& deviceText);

struct ResolvedDevice {
  std::string device;  // empty on failure
  std::string error;   // one line naming what was asked for
};

// A -dvd-device text to what libdvdread opens: a drive letter through the
// drives list, any other text as a path of its own.
ResolvedDevice ResolveDvdDevice(const std::string& deviceText, const std::vector<DvdDrive>& drives);

}  // namespace orv
