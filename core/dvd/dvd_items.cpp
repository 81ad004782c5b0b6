#include "core/dvd/dvd_items.h"

#include "platform/text.h"
#include "core/settings/source_list.h"
#include "core/settings/time_text.h"

namespace orv {

std::string DvdSourceName(const std::string& driveText) {
  std::string letter = driveText;
  while (!letter.empty() && letter.back() == '\\') letter.pop_back();
  while (!letter.empty() && letter.back() == ':') letter.pop_back();
  for (char& c : letter)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return "DVD_DRIVE_" + letter;
}

int RemoveItemOf(ItemList& items, const std::string& sourcePath) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i]->sourcePath != sourcePath) continue;
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(i));
    return static_cast<int>(i);
  }
  return -1;
}

std::unique_ptr<SourceItem> MakeDvdItem(const ItemList& items, const DvdResult& choice,
                                        const DvdItemContext& context, const MediaInfo& info) {
  if (!(info.durationSeconds != 0.0)) return nullptr;
  auto item = std::make_unique<SourceItem>();
  item->isDvdTitle = 1;
  item->sourcePath = DvdSourceName(choice.driveText);
  item->outputFormat = context.extension;
  item->outputPath =
      UniqueOutputPath(items, context.outputFolder, item->sourcePath, context.extension);
  item->clipStartText = "00:00:00";
  item->dvdTitle = choice.title;
  item->dvdFirstChapter = choice.firstChapter;
  item->dvdLastChapter = choice.lastChapter;
  item->dvdAudioStreamId = choice.audioStreamId;
  item->dvdSubtitleId = choice.subtitle;
  item->dvdAudioChannel = choice.audioChannel;
  item->duration = info.durationSeconds;
  item->clipEndText = FormatDvdTime(info.durationSeconds);
  item->clipEndSeconds = info.durationSeconds;
  item->clipStartSeconds = 0;
  item->videoWidth = info.videoWidth;
  item->videoHeight = info.videoHeight;
  item->profileIndex = context.profile;
  item->clipEnabled = 0;
  ApplyProfileSettings(*item, context.profile, context.gridTexts);
  return item;
}

}  // namespace orv
