// The engine's answers as the program reads them: videoinfo.dat (any length,
// any bytes) into a new file item, a DVD choice and the encode command line
// built from them, and vprog.dat into the progress bars.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/convert/encode_command.h"
#include "core/convert/progress.h"
#include "core/dvd/dvd_choice.h"
#include "core/dvd/dvd_items.h"
#include "core/link/engine_link.h"
#include "core/settings/option_tables.h"
#include "core/settings/source_list.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

class SilentShell : public orv::Shell {
 public:
  void Message(const std::string&, const std::string&) override {}
  bool AskOkCancel(const std::string&, const std::string&) override { return false; }
  std::vector<std::string> OpenFiles(const orv::FileDialogOptions&) override { return {}; }
  std::string SaveFile(const orv::FileDialogOptions&) override { return {}; }
  bool InputText(const std::string&, const std::string&, std::string*) override { return false; }
  std::string ChooseFolder(const std::string&, const std::string&) override { return {}; }
  bool ChooseColour(unsigned*) override { return false; }
  bool ChooseFont(std::string*) override { return false; }
  void OpenUrl(const std::string&) override {}
  void PowerOff() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace orv;
  // The first 8 bytes (when there are so many) are vprog.dat; all of them
  // are videoinfo.dat.
  const auto bytes = fuzz::Bytes(data, size);
  const std::string& folder = fuzz::ScratchFolder();
  fuzz::WriteFile(folder + kMediaInfoFile, bytes);
  fuzz::WriteFile(folder + kPositionFile, bytes.substr(0, 8));

  SilentShell shell;
  Installation inst{folder, folder};
  EngineLink link(inst, shell);
  link.PrepareFolder(folder);
  // A whole record is read; a short one is refused and leaves no answer.
  if (link.ReadMediaInfo() != (bytes.size() >= sizeof(MediaInfo))) std::abort();
  if (!std::isfinite(link.Duration()) || link.Duration() < 0) std::abort();
  if (bytes.size() < sizeof(MediaInfo) && link.Duration() != 0.0) std::abort();
  const double position = link.ReadPosition();
  if (position != -1.0 && !std::isfinite(position)) std::abort();

  ItemList items;
  for (int profile = 0; profile < 4; ++profile) {
    AddContext context{"/out/", profile, ProfileExtension(profile), nullptr};
    auto item = std::make_unique<SourceItem>();
    item->sourcePath = "/in/source.avi";
    item->outputPath = "/out/source." + context.extension;
    item->outputFormat = context.extension;
    InitFileItem(*item, context, *link.mediaInfo);
    if (const auto values = ParseItemValues(*item)) BuildEncodeCommand(*item, *values, inst);
    ComputeProgress(*item, 1, 1, position);
    items.push_back(std::move(item));
  }

  DvdChoice choice({"/media/dvd/"}, [&](const std::string&) -> const MediaInfo* {
    return link.mediaInfo.get();
  });
  choice.Open();
  for (int t = 0; t < static_cast<int>(choice.titles().size()) && t < 4; ++t) {
    choice.ChooseTitle(t);
    choice.firstChapter = 0;
    choice.lastChapter = static_cast<int>(choice.chapters().size()) - 1;
    choice.audio = 0;
    choice.subtitle = 0;
    DvdItemContext context{"/out/", 0, "mp4", nullptr};
    if (auto item = MakeDvdItem(items, choice.Result(), context, *link.mediaInfo))
      if (const auto values = ParseItemValues(*item)) BuildEncodeCommand(*item, *values, inst);
  }
  return 0;
}
