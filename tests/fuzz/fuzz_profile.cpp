// The profile reader on any bytes: a damaged file leaves the rows as they
// were; a file that reads writes back to bytes that read the same, and its
// rows make an item and a command line without a crash.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/convert/encode_command.h"
#include "core/settings/grid_rows.h"
#include "core/settings/profile_file.h"
#include "core/settings/source_item.h"
#include "tests/fuzz/command_oracle.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace orv;
  static const GridRows kBuilt = BuildGridRows();
  const std::string bytes(fuzz::Bytes(data, size));
  GridRows rows = kBuilt;
  std::string error;
  if (!ParseProfile(bytes, "fuzz.profile", &rows, &error)) {
    if (error.empty() || !(rows == kBuilt)) std::abort();
    return 0;
  }
  const std::string written = ProfileBytes(rows);
  GridRows again = kBuilt;
  if (!ParseProfile(written, "again.profile", &again, &error) || !(again == rows)) std::abort();

  SourceItem item;
  item.sourcePath = "/in/source.avi";
  item.outputPath = "/out/source.mp4";
  item.duration = 10;
  item.videoWidth = 640;
  item.videoHeight = 480;
  ApplyLoadedProfileToItem(rows, item);
  fuzz::CheckEncodeLine(item, Installation{"/p/", "/p/"});
  GridRows shown = kBuilt;
  ShownRowsAfterLoad(shown, rows);
  ApplyProfileToRows(shown, 4, &item, item.duration, rows);
  FillRowsFromItem(shown, item, 4, rows[kRowFormat].value);
  TextsOfRows(rows);
  return 0;
}
