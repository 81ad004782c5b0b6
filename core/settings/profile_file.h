// Profile files: the eighteen grid rows, each stored as list-only flag,
// options, value, kind and caption, with no header.
#pragma once

#include <string>

#include "core/settings/grid_rows.h"

namespace orv {

inline constexpr const char* kProfileFilter = "Profile Files(*.profile)|*.profile||";
inline constexpr const char* kProfileExtension = "profile";
// Far above any real profile; a larger file is refused before it is read.
inline constexpr std::size_t kMaxProfileBytes = 16u << 20;

std::string ProfileBytes(const GridRows& rows);
// All eighteen records, or nothing with the reason in *error; `rows` is
// changed only when every record was read.
bool ParseProfile(const std::string& bytes, const std::string& fileName, GridRows* rows,
                  std::string* error);

enum class ProfileLoad { Ok, OpenFailed, Damaged };
// Why these rows read from a file are no usable profile: rows other than the
// grid's, or a value a row cannot hold ("" when they are usable).
std::string ProfileRowsProblem(const GridRows& rows);
// Reads the file; on Damaged *error holds the message to show.
ProfileLoad LoadProfileFile(const std::string& path, GridRows* rows, std::string* error);
// Saved whole or not at all (WriteFileAtomically); on failure *reason (when
// given) is the system's reason and the old file is as it was.
bool SaveProfileFile(const std::string& path, const GridRows& rows, std::string* reason = nullptr);

}  // namespace orv
