#include "engine/source/dvd_input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <dvdread/dvd_reader.h>
#include <libavutil/mem.h>
}

#include "engine/source/demuxer.h"
#include "engine/source/source.h"
#include "engine/stages/stream_path.h"
#include "engine/stages/subtitle_overlay.h"
#include "platform/dvd_drives.h"
#include "platform/installation.h"

namespace orv::engine {
namespace {

constexpr int kSector = DVD_VIDEO_LB_LEN;
constexpr int kSectorsPerRead = 32;
// A scratch or a bad burn: unreadable sectors are skipped like a player
// does, but a run of them this long means the disc cannot be read.
constexpr int kBadSectorLimit = 256;

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string SettingsFile(const Options& options) {
  if (const char* file = std::getenv("ORVANTIC_SETTINGS_FILE"); file && *file) return file;
  const std::string beside = JoinPath(ExecutableFolder(), kSettingsFileName);
  if (IsFile(beside) || options.folder.empty()) return beside;
  // The GUI's program folder, when the engine was installed elsewhere.
  return JoinPath(options.folder, kSettingsFileName);
}

// An MPEG pack whose first PES packet says it is scrambled: the data is
// CSS-encrypted and libdvdread had no way to decrypt it.
bool Scrambled(const uint8_t* sector) {
  if (sector[0] || sector[1] || sector[2] != 1 || sector[3] != 0xba) return false;
  const uint8_t* pes = sector + 14 + (sector[13] & 7);
  if (pes[0] || pes[1] || pes[2] != 1) return false;
  const uint8_t id = pes[3];
  const bool media = id == 0xbd || (id >= 0xc0 && id <= 0xef);
  return media && (pes[6] & 0xc0) == 0x80 && (pes[6] & 0x30) != 0;
}

std::string List(const std::vector<int>& values) {
  std::string text;
  for (int v : values) text += (text.empty() ? "" : ", ") + std::to_string(v);
  return text.empty() ? "none" : text;
}

}  // namespace

std::string ResolveDvdDeviceOption(const Options& options) {
  const std::vector<DvdDrive> drives = ListDvdDrives(SettingsFile(options));
  std::string text = options.dvdDevice;
  if (text.empty()) {
    // No device named: the first drive, as a player would take.
    if (drives.empty()) throw EngineError("no DVD drive exists and no -dvd-device was given");
    return drives.front().device;
  }
  ResolvedDevice resolved = ResolveDvdDevice(text, drives);
  if (!resolved.error.empty()) throw EngineError(resolved.error);
  return resolved.device;
}

std::unique_ptr<DvdDisc> OpenDvdDisc(const Options& options) {
  const std::string device = ResolveDvdDeviceOption(options);
  const char letter = DriveLetterOf(options.dvdDevice);
  const std::string name = letter ? std::string(1, letter) + ":" : "'" + device + "'";
  return DvdDisc::Open(device, name);
}

DvdInput::DvdInput(const Options& options) : options_(options) {
  disc_ = OpenDvdDisc(options);
  title_ = disc_->Title(options.dvdTitle);
  const int first = options.chapterFirst > 0 ? options.chapterFirst : 1;
  const int last = options.chapterLast > 0 ? options.chapterLast : title_.chapters;
  const DvdCellRange range = disc_->Cells(options.dvdTitle, first, last);
  for (size_t c = 0; c < range.first; ++c)
    beforeSectors_ = Append(before_, range.cells[c].firstSector, range.cells[c].sectors());
  firstChapter_ = first;
  for (size_t c = range.first; c <= range.last; ++c) {
    if (std::find(range.chapterCells.begin(), range.chapterCells.end(), c) !=
        range.chapterCells.end())
      chapterStarts_.push_back(rangeSeconds_);
    totalSectors_ = Append(spans_, range.cells[c].firstSector, range.cells[c].sectors());
    rangeSeconds_ += range.cells[c].seconds;
  }
  if (range.last + 1 < range.cells.size()) {
    // The sound of the range's last half second is stored in the next
    // cell; read about a second of it.
    const DvdCell& next = range.cells[range.last + 1];
    int64_t tail =
        next.seconds > 1 ? static_cast<int64_t>(next.sectors() / next.seconds) : next.sectors();
    totalSectors_ =
        Append(spans_, next.firstSector, std::min(next.sectors(), std::max<int64_t>(tail, 64)));
  }

  const std::string which = "title " + std::to_string(title_.number);
  if (options.aid >= 0 && !options.noSound) {
    for (const DvdAudioTrack& a : title_.audio)
      if (a.id == options.aid) audio_ = &a;
    if (!audio_) {
      std::vector<int> ids;
      for (const DvdAudioTrack& a : title_.audio) ids.push_back(a.id);
      throw EngineError(which + " has no audio stream " + std::to_string(options.aid) +
                        " (its audio ids: " + List(ids) + ")");
    }
  } else if (!title_.audio.empty()) {
    audio_ = &title_.audio.front();
  }
  if (options.sid >= 0) {
    const int count = static_cast<int>(title_.subtitles.size());
    if (options.sid >= count)
      throw EngineError(which + " has no subtitle " + std::to_string(options.sid) + " (it has " +
                        std::to_string(count) + ")");
    subtitle_ = &title_.subtitles[static_cast<size_t>(options.sid)];
    overlay_ = std::make_unique<SubtitleOverlay>(title_.palette);
  }
  file_ = disc_->OpenTitleSet(title_.titleSet);
}

DvdInput::~DvdInput() {
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  if (file_) DVDCloseFile(file_);
}

InputPtr DvdInput::OpenFormat() {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kSector * kSectorsPerRead));
  if (!buffer) throw EngineError("out of memory");
  io_ = avio_alloc_context(buffer, kSector * kSectorsPerRead, 0, this, &DvdInput::ReadPacket,
                           nullptr, &DvdInput::Seek);
  if (!io_) {
    av_free(buffer);
    throw EngineError("out of memory");
  }
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) throw EngineError("out of memory");
  raw->pb = io_;
  raw->flags |= AVFMT_FLAG_CUSTOM_IO;
  const std::string name = options_.source;
  int rc = avformat_open_input(&raw, name.c_str(), av_find_input_format("mpeg"), nullptr);
  if (rc < 0) {
    // avformat_open_input frees the context on failure.
    throw EngineError(error_.empty() ? "cannot read " + name + ": " + AvErrorText(rc) : error_);
  }
  InputPtr input(raw);
  rc = avformat_find_stream_info(input.get(), nullptr);
  if (!error_.empty()) throw EngineError(error_);
  bool video = false;
  for (unsigned i = 0; i < input->nb_streams; ++i)
    video |= input->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
             input->streams[i]->codecpar->width > 0;
  if (!video) {
    check(rc, "cannot read " + name);
    throw EngineError("title " + std::to_string(title_.number) + " of the DVD " + disc_->name() +
                      " holds no readable video");
  }
  return input;
}

double DvdInput::StartTime(AVFormatContext* input) const {
  const int video = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video >= 0) {
    const AVStream* s = input->streams[video];
    if (s->start_time != AV_NOPTS_VALUE)
      return static_cast<double>(s->start_time) * av_q2d(s->time_base);
  }
  return SourceStartTime(input);
}

int DvdInput::AudioStream(AVFormatContext* input) const {
  if (!audio_) return -1;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* s = input->streams[i];
    if (s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && s->id == audio_->streamId)
      return static_cast<int>(i);
  }
  if (options_.aid >= 0)
    throw EngineError("audio stream " + std::to_string(audio_->id) + " of title " +
                      std::to_string(title_.number) + " is listed but holds no data");
  return av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
}

void DvdInput::PrepareVideo(StreamPath& path) {
  path.SetDisplayAspect(title_.displayAspect);
  if (overlay_) {
    SubtitleOverlay* overlay = overlay_.get();
    path.SetFrameOverlay(
        [overlay](AVFrame* frame, double seconds) { overlay->BurnInto(frame, seconds); });
  }
}

void DvdInput::AttachTo(Demuxer& demuxer) {
  if (!overlay_) return;
  SubtitleOverlay* overlay = overlay_.get();
  demuxer.tap(subtitle_->streamId, [overlay](const AVPacket* packet, AVRational timeBase) {
    overlay->feed(packet, timeBase);
  });
}

namespace {

// MPEG-PS: the payloads of one private-stream-1 substream in a 2048-byte
// pack, with the PTS of the PES packet that carries each (90 kHz) or
// AV_NOPTS_VALUE.
template <typename Sink>
void ForEachSubstreamPayload(const uint8_t* pack, int substream, Sink&& sink) {
  if (pack[0] || pack[1] || pack[2] != 1 || pack[3] != 0xba) return;
  int at = 14 + (pack[13] & 7);
  while (at + 9 <= kSector) {
    const uint8_t* pes = pack + at;
    if (pes[0] || pes[1] || pes[2] != 1) return;
    const int length = (pes[4] << 8) | pes[5];
    const int end = std::min(at + 6 + length, kSector);
    if (pes[3] == 0xbd && (pes[6] & 0xc0) == 0x80) {
      const int payload = at + 9 + pes[8];
      if (payload < end && pack[payload] == substream) {
        int64_t pts = AV_NOPTS_VALUE;
        if ((pes[7] & 0x80) && at + 14 <= kSector) {
          pts = (static_cast<int64_t>(pes[9] & 0x0e) << 29) | (pes[10] << 22) |
                ((pes[11] >> 1) << 15) | (pes[12] << 7) | (pes[13] >> 1);
        }
        sink(pack + payload + 1, end - payload - 1, pts);
      }
    }
    at = end;
  }
}

}  // namespace

void DvdInput::PreRollSubtitles(int64_t from) {
  if (!overlay_) return;
  // Subpictures rarely show longer than this; a DVD holds some 10 to 20 s
  // of video in 4096 sectors.
  constexpr int64_t kLookBack = 4096;
  const int64_t end =
      beforeSectors_ + std::clamp<int64_t>(from, 0, totalSectors_ * kSector) / kSector;
  std::vector<uint8_t> buffer(kSector);
  PacketPtr packet = MakePacket();
  for (int64_t v = std::max<int64_t>(0, end - kLookBack); v < end; ++v) {
    const Span* span = v < beforeSectors_ ? Find(before_, v) : Find(spans_, v - beforeSectors_);
    if (!span) continue;
    const int64_t within = (v < beforeSectors_ ? v : v - beforeSectors_) - span->start;
    if (DVDReadBlocks(file_, static_cast<int>(span->firstSector + within), 1, buffer.data()) != 1)
      continue;
    ForEachSubstreamPayload(buffer.data(), subtitle_->streamId,
                            [&](const uint8_t* data, int size, int64_t pts) {
                              if (size <= 0 || av_new_packet(packet.get(), size) < 0) return;
                              std::memcpy(packet->data, data, static_cast<size_t>(size));
                              packet->pts = pts;
                              overlay_->feed(packet.get(), AVRational{1, 90000});
                              av_packet_unref(packet.get());
                            });
  }
}

int DvdInput::ReadPacket(void* opaque, uint8_t* buffer, int size) {
  return static_cast<DvdInput*>(opaque)->read(buffer, size);
}

int64_t DvdInput::Seek(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<DvdInput*>(opaque);
  const int64_t total = self->totalSectors_ * kSector;
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
      return total;
    case SEEK_SET:
      break;
    case SEEK_CUR:
      offset += self->position_;
      break;
    case SEEK_END:
      offset += total;
      break;
    default:
      return AVERROR(EINVAL);
  }
  if (offset < 0) return AVERROR(EINVAL);
  self->position_ = std::min(offset, total);
  return self->position_;
}

int DvdInput::read(uint8_t* buffer, int size) {
  if (!error_.empty()) return AVERROR(EIO);
  const int64_t stagedEnd = stagedAt_ + static_cast<int64_t>(staged_.size());
  if (stagedAt_ < 0 || position_ < stagedAt_ || position_ >= stagedEnd) {
    if (position_ >= totalSectors_ * kSector) return AVERROR_EOF;
    if (!refill()) return error_.empty() ? AVERROR_EOF : AVERROR(EIO);
  }
  const int64_t offset = position_ - stagedAt_;
  const int n =
      static_cast<int>(std::min<int64_t>(size, static_cast<int64_t>(staged_.size()) - offset));
  std::memcpy(buffer, staged_.data() + offset, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t DvdInput::Append(std::vector<Span>& spans, uint32_t firstSector, int64_t sectors) {
  const int64_t start = spans.empty() ? 0 : spans.back().start + spans.back().sectors;
  spans.push_back({firstSector, sectors, start});
  return start + sectors;
}

const DvdInput::Span* DvdInput::Find(const std::vector<Span>& spans, int64_t sector) {
  auto after = std::upper_bound(spans.begin(), spans.end(), sector,
                                [](int64_t s, const Span& span) { return s < span.start; });
  if (after == spans.begin()) return nullptr;
  const Span* span = &*(after - 1);
  return sector < span->start + span->sectors ? span : nullptr;
}

bool DvdInput::refill() {
  const int64_t sector = position_ / kSector;
  const Span* span = Find(spans_, sector);
  if (!span) return false;
  const int64_t within = sector - span->start;
  const int count = static_cast<int>(std::min<int64_t>(span->sectors - within, kSectorsPerRead));
  staged_.resize(static_cast<size_t>(count) * kSector);
  const int disc = static_cast<int>(span->firstSector + within);
  ssize_t got = DVDReadBlocks(file_, disc, static_cast<size_t>(count), staged_.data());
  if (got <= 0) {
    // Skip the sector we could not read; the demuxer resynchronises on the
    // next pack.
    if (++badSectors_ > kBadSectorLimit) {
      std::string why = disc_->LastMessage();
      error_ = "cannot read title " + std::to_string(title_.number) + " of the DVD " +
               disc_->name() + " near sector " + std::to_string(disc) +
               (why.empty() ? "" : ": " + why);
      return false;
    }
    staged_.assign(kSector, 0);
    stagedAt_ = sector * kSector;
    return true;
  }
  badSectors_ = 0;
  staged_.resize(static_cast<size_t>(got) * kSector);
  for (ssize_t s = 0; s < got; ++s) {
    if (Scrambled(staged_.data() + s * kSector)) {
      error_ = "title " + std::to_string(title_.number) + " of the DVD " + disc_->name() +
               " is encrypted and cannot be decrypted here (libdvdread reads such discs when "
               "libdvdcss is installed)";
      return false;
    }
  }
  stagedAt_ = sector * kSector;
  return true;
}

InputPtr OpenInput(const Options& options, std::unique_ptr<DvdInput>& dvd) {
  if (options.dvdTitle < 0) return OpenSource(options.source);
  dvd = std::make_unique<DvdInput>(options);
  return dvd->OpenFormat();
}

InputRange OpenInputRange(const Options& options, std::unique_ptr<DvdInput>& dvd) {
  InputRange r;
  r.input = OpenInput(options, dvd);
  r.origin = (dvd ? dvd->StartTime(r.input.get()) : SourceStartTime(r.input.get())) +
             options.startSeconds;
  if (options.end.kind == EndKind::Duration) r.endSeconds = options.end.seconds;
  if (dvd) {
    const double rest = dvd->RangeSeconds() - options.startSeconds;
    if (rest <= 0) throw EngineError("the start lies past the end of the chapters");
    r.endSeconds = r.endSeconds > 0 ? std::min(r.endSeconds, rest) : rest;
  }
  return r;
}

std::unique_ptr<Demuxer> StartReading(AVFormatContext* input, double origin, bool seek,
                                      RunControl& control, DvdInput* dvd) {
  if (seek) {
    auto target = static_cast<int64_t>(origin * AV_TIME_BASE);
    // Land on a keyframe at or before the start; decoded frames before it
    // are dropped by the graphs.
    if (avformat_seek_file(input, -1, INT64_MIN, target, target, 0) < 0)
      avformat_seek_file(input, -1, INT64_MIN, target, target, AVSEEK_FLAG_ANY);
  }
  auto demuxer = std::make_unique<Demuxer>(input, control);
  if (dvd) {
    dvd->AttachTo(*demuxer);
    // Without a start, reading begins at the chapters' first sector.
    dvd->PreRollSubtitles(seek ? avio_tell(input->pb) : 0);
  }
  return demuxer;
}

}  // namespace orv::engine
