// INI ("profile") files with the behaviour of the Windows profile functions:
// sections and keys match case-insensitively, values are trimmed and lose one
// pair of enclosing quotes, reads are cut to the caller's buffer, and a write
// creates the file, the section and the key as needed while keeping every
// other line as it was.
#pragma once

#include <cstddef>
#include <string>

namespace orv {

inline constexpr std::size_t kProfileBufferSize = 256;

// Returns the value of key in section, or defaultValue when the file, the
// section or the key is missing; at most bufferSize - 1 characters.
std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& path,
                             std::size_t bufferSize = kProfileBufferSize);

// Sets key in section to value. The file is replaced whole (see
// WriteFileAtomically): a write that fails leaves it as it was. Returns false
// when the file cannot be written.
bool WriteProfileString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path);

}  // namespace orv
