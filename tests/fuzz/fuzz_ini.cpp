// The settings file reader on any bytes: no crash, a value cut to the buffer,
// and a key written into any file reads back as written.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/ini_file.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

// Letters and digits only: a section or key name the program could use.
std::string NameOf(const std::string& text, const char* fallback) {
  std::string name;
  for (char c : text)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) name += c;
  return name.empty() ? fallback : name.substr(0, 40);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace orv;
  // Line 1: section, line 2: key, line 3: a value to write, the rest: the file.
  auto parts = fuzz::Parts(fuzz::Bytes(data, size), '\n');
  parts.resize(4);
  std::string file;
  for (std::size_t i = 3; i < parts.size(); ++i) file += parts[i] + (i + 1 < parts.size() ? "\n" : "");
  const std::string path = fuzz::ScratchFolder() + "orvantic.ini";
  fuzz::WriteFile(path, file);

  const std::size_t buffer = parts[2].size() % 300;
  std::string read = GetProfileString(parts[0], parts[1], parts[2], path, buffer);
  if (buffer == 0 ? !read.empty() : read.size() > buffer - 1) std::abort();
  GetProfileString("GENERAL", "OutputPath", "/tmp", path);

  // Write, then read back: the value must come back whatever the file held.
  const std::string section = NameOf(parts[0], "GENERAL");
  const std::string key = NameOf(parts[1], "OutputPath");
  std::string value;
  for (char c : parts[2])
    if (c > ' ' && c != '"' && c != '\'' && c != 0x7f) value += c;
  value = value.substr(0, 200);
  if (!WriteProfileString(section, key, value, path)) std::abort();
  if (GetProfileString(section, key, "<none>", path) != value) std::abort();
  return 0;
}
