// The little-endian layout of profile and project files: 32-bit integers,
// IEEE 754 doubles and length-prefixed strings. Readers are bounded by the
// bytes they were given: a length past the end is an error, never a read or
// an allocation beyond the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace orv {

inline constexpr const char* kArchivePastEnd = "An attempt was made to access %1 past its end.";
inline constexpr const char* kArchiveBadFormat = "%1 has an unexpected format and cannot be read.";
inline constexpr const char* kArchiveTooLarge = "%1 is too large to be a file of this kind.";

class ArchiveWriter {
 public:
  void Int32(int32_t value);
  void Double(double value);
  // Length first: one byte below 255, 0xFF + 16 bits below 65534, else
  // 0xFF 0xFFFF + 32 bits; then the bytes, no terminator.
  void String(std::string_view text);
  const std::string& bytes() const { return bytes_; }

 private:
  void Raw(const void* data, std::size_t size);
  std::string bytes_;
};

enum class ArchiveError { None, PastEnd, BadFormat };

class ArchiveReader {
 public:
  explicit ArchiveReader(std::string_view bytes) : data_(bytes) {}

  // Each returns false once an error has happened; the value is then left
  // as it was.
  bool Int32(int32_t* value);
  bool Double(double* value);
  // Also reads the wide form (0xFF 0xFFFE, a length, UTF-16LE text), which
  // comes out as UTF-8.
  bool String(std::string* text);

  ArchiveError error() const { return error_; }
  std::size_t remaining() const { return data_.size() - pos_; }

 private:
  bool Take(std::size_t size, const char** out);
  bool Length(uint64_t* length, bool* wide);
  bool Fail(ArchiveError error);

  std::string_view data_;
  std::size_t pos_ = 0;
  ArchiveError error_ = ArchiveError::None;
};

// The message for a failed read of the named file.
std::string ArchiveErrorText(ArchiveError error, const std::string& fileName);

// UTF-16LE to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

}  // namespace orv
