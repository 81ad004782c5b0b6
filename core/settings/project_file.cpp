#include "core/settings/project_file.h"

#include "platform/text.h"

#include "platform/dvd_drives.h"
#include "platform/files.h"
#include "core/settings/settings_check.h"

namespace orv {
namespace {

// Far above any list a user builds; a larger file is refused unread.
constexpr std::size_t kMaxProjectBytes = 256u << 20;


// A source or output that is not a full path could be read as an option (a
// file named "-o") or land wherever the program runs.
std::string StoredPathsProblem(const SourceItem& item) {
  if (!IsDvdSource(item.sourcePath) && (item.sourcePath.empty() || item.sourcePath.front() != '/'))
    return "Source '" + item.sourcePath + "' is neither a full path nor a DVD drive";
  if (item.outputPath.empty() || item.outputPath.front() != '/')
    return "Output '" + item.outputPath + "' is not a full path";
  return {};
}

}  // namespace

void WriteItemRecord(ArchiveWriter& out, const SourceItem& item) {
  out.String(item.videoDisabled);
  out.String(item.videoBitrate);
  out.String(item.videoFrameRate);
  out.String(item.videoSize);
  out.String(item.videoCodec);
  out.String(item.audioDisabled);
  out.String(item.audioVolume);
  out.String(item.audioChannel);
  out.String(item.audioBitrate);
  out.String(item.audioSampleRate);
  out.String(item.audioCodec);
  out.Int32(item.clipEnabled);
  out.Double(item.clipEndSeconds);
  out.Double(item.clipStartSeconds);
  out.String(item.clipStartText);
  out.String(item.clipEndText);
  out.String(item.outputFormat);
  out.String(item.splitMode);
  out.String(item.sourcePath);
  out.String(item.outputPath);
  out.Double(item.duration);
  out.Int32(item.spare);
  out.Int32(item.videoWidth);
  out.Int32(item.videoHeight);
  out.Int32(item.isDvdTitle);
  out.Int32(item.dvdAudioChannel);
  out.Int32(item.dvdAudioStreamId);
  out.Int32(item.dvdSubtitleId);
  out.Int32(item.dvdLastChapter);
  out.Int32(item.dvdFirstChapter);
  out.Int32(item.dvdTitle);
  out.Int32(item.profileIndex);
  out.String(item.quantizerMin);
  out.String(item.quantizerMax);
}

bool ReadItemRecord(ArchiveReader& in, SourceItem* item) {
  in.String(&item->videoDisabled);
  in.String(&item->videoBitrate);
  in.String(&item->videoFrameRate);
  in.String(&item->videoSize);
  in.String(&item->videoCodec);
  in.String(&item->audioDisabled);
  in.String(&item->audioVolume);
  in.String(&item->audioChannel);
  in.String(&item->audioBitrate);
  in.String(&item->audioSampleRate);
  in.String(&item->audioCodec);
  in.Int32(&item->clipEnabled);
  in.Double(&item->clipEndSeconds);
  in.Double(&item->clipStartSeconds);
  in.String(&item->clipStartText);
  in.String(&item->clipEndText);
  in.String(&item->outputFormat);
  in.String(&item->splitMode);
  in.String(&item->sourcePath);
  in.String(&item->outputPath);
  in.Double(&item->duration);
  in.Int32(&item->spare);
  in.Int32(&item->videoWidth);
  in.Int32(&item->videoHeight);
  in.Int32(&item->isDvdTitle);
  in.Int32(&item->dvdAudioChannel);
  in.Int32(&item->dvdAudioStreamId);
  in.Int32(&item->dvdSubtitleId);
  in.Int32(&item->dvdLastChapter);
  in.Int32(&item->dvdFirstChapter);
  in.Int32(&item->dvdTitle);
  in.Int32(&item->profileIndex);
  in.String(&item->quantizerMin);
  return in.String(&item->quantizerMax);
}

std::string ProjectBytes(const ItemList& items) {
  ArchiveWriter out;
  out.Int32(static_cast<int32_t>(items.size()));
  for (const auto& item : items) WriteItemRecord(out, *item);
  return out.bytes();
}

ProjectLoad ParseProject(const std::string& bytes, const std::string& fileName,
                         ProjectContents* contents, const ItemCheck& usable) {
  ArchiveReader in(bytes);
  contents->items.clear();
  contents->leftOut.clear();
  if (!in.Int32(&contents->storedCount)) {
    contents->error = ArchiveErrorText(in.error(), fileName);
    return ProjectLoad::Damaged;
  }
  if (contents->storedCount < 0) {
    contents->error = ArchiveErrorText(ArchiveError::BadFormat, fileName) + " It gives " +
                      std::to_string(contents->storedCount) + " items.";
    return ProjectLoad::Damaged;
  }
  // Records are read one by one, never counted ahead: a count far beyond
  // the file's bytes ends at its end, not in an allocation.
  for (int32_t i = 0; i < contents->storedCount; ++i) {
    auto item = std::make_unique<SourceItem>();
    if (!ReadItemRecord(in, item.get())) {
      const auto read = static_cast<std::size_t>(i);
      contents->error = ArchiveErrorText(in.error(), fileName) + " " + std::to_string(read) +
                        " of the " + std::to_string(contents->storedCount) +
                        (contents->storedCount == 1 ? " item it lists was" : " items it lists were") +
                        " read.";
      return ProjectLoad::Damaged;
    }
    // A stored text that is no value never reaches a command line: the item
    // stays out, named, and the others open.
    NormaliseSettings(*item);
    std::string problem = StoredPathsProblem(*item);
    if (const auto settings = CheckSettings(*item, item->duration); problem.empty() && settings)
      problem = settings->Text();
    if (problem.empty() && usable) problem = usable(*item);
    if (!problem.empty()) {
      contents->leftOut.push_back("item " + std::to_string(i + 1) + ": " + problem);
      continue;
    }
    contents->items.push_back(std::move(item));
  }
  return ProjectLoad::Ok;
}

ProjectLoad LoadProjectFile(const std::string& path, ProjectContents* contents,
                            const ItemCheck& usable) {
  std::string bytes, reason;
  contents->items.clear();
  contents->leftOut.clear();
  switch (ReadFileBytes(path, kMaxProjectBytes, &bytes, &reason)) {
    case FileReadResult::OpenFailed:
      contents->error = "Cannot open " + path + ": " + reason;
      return ProjectLoad::OpenFailed;
    case FileReadResult::TooLarge:
      contents->error = FillIn(kArchiveTooLarge, path);
      return ProjectLoad::OpenFailed;
    case FileReadResult::Ok:
      break;
  }
  return ParseProject(bytes, path, contents, usable);
}

bool SaveProjectFile(const std::string& path, const ItemList& items, std::string* reason) {
  const std::string error = WriteFileAtomically(path, ProjectBytes(items));
  if (reason) *reason = error;
  return error.empty();
}

std::string SourceUnavailable(const SourceItem& item, const std::vector<std::string>& driveRoots) {
  if (!IsDvdSource(item.sourcePath)) {
    if (FileExists(item.sourcePath)) return {};
    return item.sourcePath + ": the source is not there";
  }
  // "DVD_DRIVE_E": the letter of the drive the title was chosen on.
  const char letter = DriveLetterOf(item.sourcePath.substr(10) + ":");
  for (const std::string& root : driveRoots)
    if (DriveLetterOf(root) == letter) return {};
  const std::string name(1, letter);
  return "DVD title " + std::to_string(item.dvdTitle) + " of drive " + name +
         ": is not available (no optical drive or [DRIVES] entry has the letter " + name + ")";
}

}  // namespace orv
