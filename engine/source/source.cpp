#include "engine/source/source.h"

#include "platform/text.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>

extern "C" {
#include <libavutil/dict.h>
}

namespace orv::engine {
namespace {

std::string_view BaseName(std::string_view path) {
  auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool HasUsableStream(AVFormatContext* input) {
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVCodecParameters* p = input->streams[i]->codecpar;
    if (p->codec_type == AVMEDIA_TYPE_VIDEO && p->width > 0 && p->height > 0) return true;
    if (p->codec_type == AVMEDIA_TYPE_AUDIO && p->sample_rate > 0) return true;
  }
  return false;
}

}  // namespace

std::optional<std::pair<int, int>> SizeFromFileName(std::string_view path) {
  std::string_view name = BaseName(path);
  std::optional<std::pair<int, int>> found;
  for (size_t x = 0; x < name.size(); ++x) {
    if (name[x] != 'x' && name[x] != 'X') continue;
    size_t a = x;
    while (a > 0 && std::isdigit(static_cast<unsigned char>(name[a - 1]))) --a;
    size_t b = x + 1;
    while (b < name.size() && std::isdigit(static_cast<unsigned char>(name[b]))) ++b;
    if (a == x || b == x + 1) continue;
    int w = 0, h = 0;
    std::from_chars(name.data() + a, name.data() + x, w);
    std::from_chars(name.data() + x + 1, name.data() + b, h);
    // 4:2:0 needs even sizes; anything else is not a frame size.
    if (w >= 2 && h >= 2 && w <= 16384 && h <= 16384 && w % 2 == 0 && h % 2 == 0) found = {{w, h}};
  }
  return found;
}

bool IsRawYuvName(std::string_view path) {
  std::string_view name = BaseName(path);
  if (name.size() < 4) return false;
  return AsciiLower(std::string(name.substr(name.size() - 4))) == ".yuv";
}

InputPtr OpenSource(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) throw EngineError("cannot open '" + path + "': no such file");
  if (!S_ISREG(st.st_mode) || st.st_size == 0)
    throw EngineError("cannot open '" + path + "': empty or not a regular file");

  const AVInputFormat* format = nullptr;
  AVDictionary* opts = nullptr;
  if (IsRawYuvName(path)) {
    auto size = SizeFromFileName(path).value_or(std::pair{kDefaultYuvWidth, kDefaultYuvHeight});
    format = av_find_input_format("rawvideo");
    av_dict_set(&opts, "video_size",
                (std::to_string(size.first) + "x" + std::to_string(size.second)).c_str(), 0);
    av_dict_set(&opts, "pixel_format", "yuv420p", 0);
    av_dict_set(&opts, "framerate", std::to_string(kYuvFps).c_str(), 0);
  }
  AVFormatContext* raw = nullptr;
  int rc = avformat_open_input(&raw, path.c_str(), format, &opts);
  av_dict_free(&opts);
  check(rc, "cannot open '" + path + "'");
  InputPtr input(raw);
  // Probing may stumble over a damaged stretch; what it did learn is often
  // enough to decode the rest, as players do.
  int probe = avformat_find_stream_info(input.get(), nullptr);
  if (!HasUsableStream(input.get())) {
    check(probe, "cannot read '" + path + "'");
    throw EngineError("'" + path + "' has no audio or video stream");
  }
  return input;
}

double SourceDuration(AVFormatContext* input, const std::string& path) {
  if (input->duration != AV_NOPTS_VALUE && input->duration > 0)
    return static_cast<double>(input->duration) / AV_TIME_BASE;
  double longest = 0;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* s = input->streams[i];
    if (s->duration != AV_NOPTS_VALUE && s->duration > 0)
      longest = std::max(longest, s->duration * av_q2d(s->time_base));
  }
  if (longest > 0) return longest;
  if (IsRawYuvName(path)) {
    auto size = SizeFromFileName(path).value_or(std::pair{kDefaultYuvWidth, kDefaultYuvHeight});
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
      double frameBytes = size.first * size.second * 1.5;
      return static_cast<double>(st.st_size / static_cast<long long>(frameBytes)) / kYuvFps;
    }
  }
  return 0;
}

int FindAudioStream(AVFormatContext* input, int aid) {
  if (aid >= 0) {
    int ordinal = 0;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
      AVStream* s = input->streams[i];
      if (s->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
      if (s->id == aid || ordinal == aid) return static_cast<int>(i);
      ++ordinal;
    }
  }
  return av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
}

int FindVideoStream(AVFormatContext* input) {
  int index = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index >= 0 && (input->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC)) return -1;
  return index;
}

int SkipEmptyStream(AVFormatContext* input, int index) {
  if (index < 0 || input->streams[index]->nb_frames != 0) return index;
  // Only an index that counts the others' packets tells "empty" from "not
  // counted" (streams, fragmented MP4).
  bool othersCounted = false;
  for (unsigned i = 0; i < input->nb_streams; ++i)
    if (static_cast<int>(i) != index && input->streams[i]->nb_frames > 0) othersCounted = true;
  if (!othersCounted) return index;
  const char* kind = av_get_media_type_string(input->streams[index]->codecpar->codec_type);
  Warn(std::string("the ") + (kind ? kind : "") + " stream #" + std::to_string(index) +
       " of the source holds no data and is left out");
  return -1;
}

double SourceStartTime(AVFormatContext* input) {
  if (input->start_time == AV_NOPTS_VALUE) return 0;
  return static_cast<double>(input->start_time) / AV_TIME_BASE;
}

}  // namespace orv::engine
