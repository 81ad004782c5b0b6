#include "core/settings/archive.h"

#include "platform/text.h"

#include <cstring>

namespace orv {
namespace {

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

template <typename T>
T LittleEndian(const char* p) {
  T v = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i)
    v |= static_cast<T>(static_cast<unsigned char>(p[i])) << (8 * i);
  return v;
}

}  // namespace

void ArchiveWriter::Raw(const void* data, std::size_t size) {
  bytes_.append(static_cast<const char*>(data), size);
}

void ArchiveWriter::Int32(int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes_ += static_cast<char>((u >> (8 * i)) & 0xFF);
}

void ArchiveWriter::Double(double value) {
  uint64_t u;
  std::memcpy(&u, &value, sizeof u);
  for (int i = 0; i < 8; ++i) bytes_ += static_cast<char>((u >> (8 * i)) & 0xFF);
}

void ArchiveWriter::String(std::string_view text) {
  const std::size_t n = text.size();
  if (n < 0xFF) {
    bytes_ += static_cast<char>(n);
  } else if (n < 0xFFFE) {
    bytes_ += '\xFF';
    bytes_ += static_cast<char>(n & 0xFF);
    bytes_ += static_cast<char>(n >> 8);
  } else {
    bytes_ += "\xFF\xFF\xFF";
    Int32(static_cast<int32_t>(static_cast<uint32_t>(n)));
  }
  Raw(text.data(), n);
}

bool ArchiveReader::Fail(ArchiveError error) {
  if (error_ == ArchiveError::None) error_ = error;
  return false;
}

bool ArchiveReader::Take(std::size_t size, const char** out) {
  if (error_ != ArchiveError::None) return false;
  if (size > remaining()) return Fail(ArchiveError::PastEnd);
  *out = data_.data() + pos_;
  pos_ += size;
  return true;
}

bool ArchiveReader::Int32(int32_t* value) {
  const char* p;
  if (!Take(4, &p)) return false;
  *value = static_cast<int32_t>(LittleEndian<uint32_t>(p));
  return true;
}

bool ArchiveReader::Double(double* value) {
  const char* p;
  if (!Take(8, &p)) return false;
  const uint64_t u = LittleEndian<uint64_t>(p);
  std::memcpy(value, &u, sizeof u);
  return true;
}

bool ArchiveReader::Length(uint64_t* length, bool* wide) {
  const char* p;
  if (!Take(1, &p)) return false;
  if (static_cast<unsigned char>(*p) != 0xFF) {
    *length = static_cast<unsigned char>(*p);
    return true;
  }
  if (!Take(2, &p)) return false;
  const uint16_t word = LittleEndian<uint16_t>(p);
  if (word == 0xFFFE) {
    if (*wide) return Fail(ArchiveError::BadFormat);  // a marker after the marker
    *wide = true;
    return Length(length, wide);
  }
  if (word != 0xFFFF) {
    *length = word;
    return true;
  }
  if (!Take(4, &p)) return false;
  const uint32_t dword = LittleEndian<uint32_t>(p);
  if (dword != 0xFFFFFFFFu) {
    *length = dword;
    return true;
  }
  if (!Take(8, &p)) return false;
  *length = LittleEndian<uint64_t>(p);
  return true;
}

bool ArchiveReader::String(std::string* text) {
  uint64_t length = 0;
  bool wide = false;
  if (!Length(&length, &wide)) return false;
  const uint64_t bytes = wide ? length * 2 : length;
  if ((wide && length > remaining()) || bytes > remaining()) return Fail(ArchiveError::PastEnd);
  const char* p;
  if (!Take(static_cast<std::size_t>(bytes), &p)) return false;
  if (wide)
    *text = Utf16LeToUtf8(std::string_view(p, static_cast<std::size_t>(bytes)));
  else
    text->assign(p, static_cast<std::size_t>(bytes));
  return true;
}

std::string ArchiveErrorText(ArchiveError error, const std::string& fileName) {
  return FillIn(error == ArchiveError::PastEnd ? kArchivePastEnd : kArchiveBadFormat, fileName);
}

std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    uint32_t u = LittleEndian<uint16_t>(bytes.data() + 2 * i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const uint32_t low = LittleEndian<uint16_t>(bytes.data() + 2 * (i + 1));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
    AppendUtf8(out, u);
  }
  return out;
}

}  // namespace orv
