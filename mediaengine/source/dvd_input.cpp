#include "mediaengine/source/dvd_input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <dvdread/dvd_reader.h>
#include <libavutil/mem.h>
}

#include "mediaengine/source/demuxer.h"
#include "mediaengine/source/source.h"
#include "mediaengine/stages/stream_path.h"
#include "mediaengine/stages/subtitle_overlay.h"
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
  cells_ = disc_->Cells(options.dvdTitle, first, last);
  for (const DvdCell& cell : cells_) {
    cellStarts_.push_back(totalSectors_);
    totalSectors_ += static_cast<int64_t>(cell.lastSector) - cell.firstSector + 1;
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
    if (s->start_time != AV_NOPTS_VALUE) return static_cast<double>(s->start_time) * av_q2d(s->time_base);
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
    path.SetFrameOverlay([overlay](AVFrame* frame, double seconds) { overlay->BurnInto(frame, seconds); });
  }
}

void DvdInput::AttachTo(Demuxer& demuxer) {
  if (!overlay_) return;
  SubtitleOverlay* overlay = overlay_.get();
  demuxer.tap(subtitle_->streamId,
              [overlay](const AVPacket* packet, AVRational timeBase) { overlay->feed(packet, timeBase); });
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
  const int n = static_cast<int>(
      std::min<int64_t>(size, static_cast<int64_t>(staged_.size()) - offset));
  std::memcpy(buffer, staged_.data() + offset, static_cast<size_t>(n));
  position_ += n;
  return n;
}

bool DvdInput::refill() {
  const int64_t sector = position_ / kSector;
  auto next = std::upper_bound(cellStarts_.begin(), cellStarts_.end(), sector);
  const size_t cell = static_cast<size_t>(next - cellStarts_.begin()) - 1;
  const int64_t within = sector - cellStarts_[cell];
  const int64_t left = cells_[cell].lastSector - cells_[cell].firstSector + 1 - within;
  const int count = static_cast<int>(std::min<int64_t>(left, kSectorsPerRead));
  staged_.resize(static_cast<size_t>(count) * kSector);
  const int disc = static_cast<int>(cells_[cell].firstSector + within);
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

}  // namespace orv::engine
