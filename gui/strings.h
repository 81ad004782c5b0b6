// The string table of the GUI, by resource id.
#pragma once

#include <string>

namespace orv {

inline constexpr int kStrFolderTitle = 101;
inline constexpr int kStrAppTitle = 102;

inline constexpr const char* kAppVersion = "0.1";
inline constexpr const char* kWebSite = "https://orvantic.org/";
inline constexpr const char* kSupportMail = "mailto:support@orvantic.org";

// The answers of the profile and project file commands.
inline constexpr const char* kFileFailed = "Failed!";
inline constexpr const char* kFileSaved = "Project saved!";

// The text of a string resource; empty for an unknown id.
std::string ResourceString(int id);

}  // namespace orv
