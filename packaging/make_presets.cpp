// Writes the device presets as profile files into the folder given:
// make_presets DIR.
#include <iostream>

#include "platform/installation.h"
#include "core/settings/device_presets.h"
#include "core/settings/profile_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_presets DIR\n";
    return 2;
  }
  for (const orv::DevicePreset& preset : orv::DevicePresets()) {
    const std::string path =
        orv::JoinPath(argv[1], preset.name + "." + orv::kProfileExtension);
    std::string reason;
    if (!orv::SaveProfileFile(path, preset.rows, &reason)) {
      std::cerr << "make_presets: cannot write " << path << ": " << reason << "\n";
      return 1;
    }
  }
  return 0;
}
