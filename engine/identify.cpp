#include "engine/identify.h"

#include <algorithm>
#include <cstring>

#include "engine/options.h"
#include "engine/source/dvd_disc.h"
#include "engine/source/dvd_input.h"
#include "engine/source/source.h"

namespace orv::engine {

MediaInfo EmptyMediaInfo() {
  MediaInfo info;
  // Plain files carry no selectable streams; -1 marks every slot unused.
  std::fill(std::begin(info.audioStreamIds), std::end(info.audioStreamIds), -1);
  std::fill(std::begin(info.subtitleIds), std::end(info.subtitleIds), -1);
  info.titleCount = 0;
  return info;
}

MediaInfo IdentifyFile(const std::string& path) {
  InputPtr input = OpenSource(path);
  MediaInfo info = EmptyMediaInfo();
  double duration = SourceDuration(input.get(), path);
  if (duration <= 0) throw EngineError("cannot determine the duration of '" + path + "'");
  info.durationSeconds = duration;
  int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video >= 0) {
    const AVCodecParameters* p = input->streams[video]->codecpar;
    // Cover art is a still image, not the video of the file.
    if (!(input->streams[video]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      info.videoWidth = p->width;
      info.videoHeight = p->height;
    }
  }
  return info;
}

namespace {

void CopyText(char (&to)[kNameBytes], const std::string& text) {
  std::strncpy(to, text.c_str(), kNameBytes - 1);
  to[kNameBytes - 1] = 0;
}

}  // namespace

MediaInfo IdentifyDvd(const Options& options) {
  std::unique_ptr<DvdDisc> disc = OpenDvdDisc(options);
  MediaInfo info = EmptyMediaInfo();
  const int titles = disc->TitleCount();
  info.titleCount = std::min(titles, kMaxTitles);
  for (int t = 0; t < info.titleCount; ++t) info.chapterCounts[t] = disc->ChapterCount(t + 1);
  const DvdTitleInfo title = disc->Title(options.dvdTitle);
  if (title.durationSeconds <= 0)
    throw EngineError("title " + std::to_string(title.number) + " of the DVD " + disc->name() +
                      " has no playing time");
  info.durationSeconds = title.durationSeconds;
  info.videoWidth = title.width;
  info.videoHeight = title.height;
  int n = 0;
  for (const DvdAudioTrack& a : title.audio) {
    if (n == kMaxStreams) break;
    info.audioStreamIds[n] = a.id;
    CopyText(info.audioStreamNames[n], a.format);
    CopyText(info.audioStreamLanguages[n], a.language);
    ++n;
  }
  n = 0;
  for (const DvdSubtitleTrack& s : title.subtitles) {
    if (n == kMaxStreams) break;
    info.subtitleIds[n] = s.number;
    CopyText(info.subtitleNames[n], s.language);
    ++n;
  }
  return info;
}

}  // namespace orv::engine
