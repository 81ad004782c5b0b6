// The project reader on any bytes: never a crash or a huge allocation; a file
// that reads writes back to bytes that read the same; its items give command
// lines (of the builder's own options only) and piece plans.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/convert/encode_command.h"
#include "core/convert/piece_plan.h"
#include "core/settings/project_file.h"
#include "tests/fuzz/command_oracle.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace orv;
  const std::string bytes(fuzz::Bytes(data, size));
  ProjectContents contents;
  if (ParseProject(bytes, "fuzz.vpt", &contents) != ProjectLoad::Ok) {
    if (contents.error.empty()) std::abort();
    return 0;
  }
  // Every record read is an item or is left out with its reason.
  if (contents.items.size() + contents.leftOut.size() !=
      static_cast<std::size_t>(contents.storedCount))
    std::abort();
  const std::string written = ProjectBytes(contents.items);
  ProjectContents again;
  if (ParseProject(written, "again.vpt", &again) != ProjectLoad::Ok ||
      ProjectBytes(again.items) != written)
    std::abort();

  const Installation inst{"/p/", "/p/"};
  for (const auto& item : contents.items) {
    fuzz::CheckEncodeLine(*item, inst);
    FirstPiece(*item);
    LaterPieces(*item, 1.0);
  }
  return 0;
}
