#include "core/settings/source_list.h"

#include "core/link/identification.h"
#include "platform/files.h"
#include "platform/installation.h"
#include "core/settings/option_tables.h"
#include "core/settings/time_text.h"

namespace orv {
namespace {

std::string FileNamePart(const std::string& path) {
  auto slash = path.rfind(kPathSeparator);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string OutputPathIn(const std::string& folder, const std::string& name) {
  return JoinPath(folder, name);
}

bool OutputNameTaken(const ItemList& items, const std::string& candidate,
                     const std::string& newSource) {
  // Files are compared, not texts: "./", "..", a symbolic link or a hard link
  // may name a source the user would lose.
  // The candidate is looked up once, not once per item: a list of hundreds
  // is checked for every file added.
  const FileKey key(candidate);
  if (key.SameAs(newSource)) return true;
  for (const auto& item : items) {
    if (candidate == item->outputPath || key.SameAs(item->outputPath)) return true;
    if (!item->isDvdTitle && key.SameAs(item->sourcePath)) return true;
  }
  return false;
}

std::string UniqueOutputPath(const ItemList& items, const std::string& folder, std::string base,
                             const std::string& extension, const std::string& newSource) {
  // Each taken name grows by "_1" (a_1, then a_1_1) until no item's output
  // nor any source is that file.
  while (OutputNameTaken(items, OutputPathIn(folder, base + "." + extension), newSource))
    base += "_1";
  return OutputPathIn(folder, base + "." + extension);
}

std::optional<std::string> PlanOutputPath(const ItemList& items, const std::string& sourcePath,
                                          const std::string& folder,
                                          const std::string& extension) {
  if (IsListed(items, sourcePath)) return std::nullopt;
  std::string base = FileNamePart(sourcePath);
  auto dot = base.rfind('.');
  base = dot == std::string::npos ? std::string() : base.substr(0, dot);
  return UniqueOutputPath(items, folder, base, extension, sourcePath);
}

void InitFileItem(SourceItem& item, const AddContext& context, const FileAnswer& info) {
  item.spare = 0;
  item.isDvdTitle = 0;
  item.dvdAudioChannel = item.dvdAudioStreamId = item.dvdSubtitleId = 0;
  item.dvdLastChapter = item.dvdFirstChapter = item.dvdTitle = 0;
  item.clipStartText = "00:00:00.00";
  item.duration = item.clipEndSeconds = info.duration;
  item.clipStartSeconds = 0;
  item.videoWidth = info.width;
  item.videoHeight = info.height;
  item.clipEnabled = 0;
  item.clipEndText = FormatTime(info.duration);
  item.profileIndex = context.profile;
  ApplyProfileSettings(item, context.profile, context.gridTexts);
}

void ApplyProfileSettings(ConversionSettings& item, int profile,
                          const ConversionSettings* gridTexts) {
  if (profile == kCustomizedProfile && gridTexts) {
    const ConversionSettings& g = *gridTexts;
    item.outputFormat = g.outputFormat;
    item.audioCodec = g.audioCodec;
    item.videoCodec = g.videoCodec;
    item.videoSize = g.videoSize;
    item.quantizerMin = g.quantizerMin;
    item.quantizerMax = g.quantizerMax;
    item.splitMode = g.splitMode;
    item.videoFrameRate = g.videoFrameRate;
    item.videoBitrate = g.videoBitrate;
    item.videoDisabled = g.videoDisabled;
    item.audioSampleRate = g.audioSampleRate;
    item.audioBitrate = g.audioBitrate;
    item.audioChannel = g.audioChannel;
    item.audioVolume = g.audioVolume;
    item.audioDisabled = g.audioDisabled;
  } else {
    ApplyNewItemDefaults(profile, item);
  }
}

FileAnswer AnswerOf(Identified result, const MediaInfo& info) {
  FileAnswer answer;
  answer.result = result;
  if (result != Identified::Yes) return answer;
  answer.duration = info.durationSeconds;
  answer.width = info.videoWidth;
  answer.height = info.videoHeight;
  return answer;
}

FileAnswer IdentifyFile(EngineLink& link, const std::string& path) {
  const Identified result = Identify(link, path, false);
  return AnswerOf(result, *link.mediaInfo);
}

bool IsListed(const ItemList& items, const std::string& path) {
  for (const auto& item : items)
    if (item->sourcePath == path) return true;
  return false;
}

AddResult AddIdentifiedFile(ItemList& items, const std::string& path, const AddContext& context,
                            const FileAnswer& answer) {
  switch (answer.result) {
    case Identified::EngineBusy:
      return AddResult::EngineBusy;
    case Identified::NoAnswer:
      return AddResult::NotIdentified;
    case Identified::Yes:
      break;
  }
  auto output = PlanOutputPath(items, path, context.outputFolder, context.extension);
  if (!output) return AddResult::AlreadyListed;
  auto item = std::make_unique<SourceItem>();
  item->sourcePath = path;
  item->outputFormat = context.extension;
  item->outputPath = *output;
  InitFileItem(*item, context, answer);
  items.push_back(std::move(item));
  return AddResult::Added;
}

AddResult AddFile(ItemList& items, const std::string& path, const AddContext& context,
                  EngineLink& link) {
  if (IsListed(items, path)) return AddResult::AlreadyListed;
  return AddIdentifiedFile(items, path, context, IdentifyFile(link, path));
}

std::string RenamedOutputPath(const std::string& outputPath, const std::string& name,
                              const std::string& outputFormat) {
  auto slash = outputPath.rfind(kPathSeparator);
  std::string folder = slash == std::string::npos ? std::string() : outputPath.substr(0, slash);
  folder += kPathSeparator;
  const std::string suffix = "." + outputFormat;
  bool hasSuffix = name.size() > 4 && name.compare(name.size() - 4, 4, suffix) == 0 &&
                   suffix.size() == 4;
  return hasSuffix ? folder + name : folder + name + suffix;
}

void RebaseOutputPaths(ItemList& items, const std::string& folder) {
  for (auto& item : items) item->outputPath = OutputPathIn(folder, FileNamePart(item->outputPath));
}

std::string OutputBase(const std::string& outputPath) {
  auto dot = outputPath.rfind('.');
  return dot == std::string::npos ? std::string() : outputPath.substr(0, dot);
}

}  // namespace orv
