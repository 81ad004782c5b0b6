#include "mediaengine/identify.h"

#include <algorithm>

#include "mediaengine/source/source.h"

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

}  // namespace orv::engine
