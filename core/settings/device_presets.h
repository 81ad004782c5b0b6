// The device presets shipped as profile files: each is a customized profile
// (the eighteen grid rows) made for one kind of player. The build writes
// them to profiles/ beside the program; installed, they live in
// share/orvantic/profiles/, where "load profile..." opens first.
#pragma once

#include <string>
#include <vector>

#include "platform/installation.h"
#include "core/settings/grid_rows.h"

namespace orv {

inline constexpr const char* kPresetFolderName = "profiles";

struct DevicePreset {
  std::string name;  // the file name without ".profile"
  GridRows rows;
};

std::vector<DevicePreset> DevicePresets();

// The folder holding the presets: beside help.html (the program's folder
// in a build, share/orvantic installed).
std::string PresetFolder(const Installation& installation);

}  // namespace orv
