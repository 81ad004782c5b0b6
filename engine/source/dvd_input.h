// A DVD title as a libavformat input: the cells of the chosen chapters are
// read through libdvdread and fed, as one continuous MPEG program stream, to
// libavformat's "mpeg" demuxer through our own AVIOContext. Also what the
// encode and play runs need beyond a file: the -aid and -sid choices and the
// display aspect the title's tables give.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/av_support.h"
#include "engine/options.h"
#include "engine/source/dvd_disc.h"

struct dvd_file_s;

namespace orv::engine {

class Demuxer;
class RunControl;
class StreamPath;
class SubtitleOverlay;

// The device -dvd-device names: a drive letter through the drives of the
// settings file (ORVANTIC_SETTINGS_FILE, else orvantic.ini beside the
// engine, else in the working folder), or a path. Throws EngineError.
std::string ResolveDvdDeviceOption(const Options& options);

// Opens the disc that -dvd-device names.
std::unique_ptr<DvdDisc> OpenDvdDisc(const Options& options);

class DvdInput {
 public:
  // Checks the title, the chapter range, -aid and -sid against the disc's
  // tables before anything is read; throws EngineError with the reason.
  explicit DvdInput(const Options& options);
  ~DvdInput();
  DvdInput(const DvdInput&) = delete;
  DvdInput& operator=(const DvdInput&) = delete;

  // The opened and probed input; it reads through this object, which must
  // outlive it.
  InputPtr OpenFormat();

  const DvdTitleInfo& title() const { return title_; }
  // Seconds of the chapters' first picture. Sound is stored up to half a
  // second behind the picture, so the first sound packets of a chapter
  // belong to the one before and must not move the start.
  double StartTime(AVFormatContext* input) const;
  // The stream -aid chooses (the title's first audio stream without one);
  // -1 when the title has no audio. Throws when the chosen stream is
  // missing from the title's data.
  int AudioStream(AVFormatContext* input) const;
  // The display aspect from the title's tables, and with -sid the subtitle
  // burnt into the picture.
  void PrepareVideo(StreamPath& path);
  // Hands the chosen subtitle's packets to the overlay.
  void AttachTo(Demuxer& demuxer);
  // With -sid, reading starts after the title's beginning (a later chapter,
  // a -ss position) and a subpicture that began earlier is still showing:
  // its packets lie before the start. Feeds the overlay what the last
  // seconds before byte position `from` of the range hold.
  void PreRollSubtitles(int64_t from);
  // Playing time of the chapter range from the title's tables. The reading
  // goes a little past it (sound is stored behind the picture), so the run
  // ends here.
  double RangeSeconds() const { return rangeSeconds_; }
  // Where each chapter of the range begins, in seconds from the range's
  // start, from the title's tables; the first is chapter FirstChapter().
  const std::vector<double>& ChapterStarts() const { return chapterStarts_; }
  int FirstChapter() const { return firstChapter_; }

 private:
  static int ReadPacket(void* opaque, uint8_t* buffer, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);
  int read(uint8_t* buffer, int size);
  bool refill();

  const Options& options_;
  std::unique_ptr<DvdDisc> disc_;
  DvdTitleInfo title_;
  const DvdAudioTrack* audio_ = nullptr;
  const DvdSubtitleTrack* subtitle_ = nullptr;
  std::unique_ptr<SubtitleOverlay> overlay_;
  dvd_file_s* file_ = nullptr;
  AVIOContext* io_ = nullptr;

  // A stretch of the title set's sectors; the reading space is a list of
  // them, one byte range in which position_ lies.
  struct Span {
    uint32_t firstSector = 0;
    int64_t sectors = 0;
    int64_t start = 0;  // sector offset in its list
  };
  static int64_t Append(std::vector<Span>& spans, uint32_t firstSector, int64_t sectors);
  static const Span* Find(const std::vector<Span>& spans, int64_t sector);

  std::vector<Span> spans_;   // the range's cells and the tail after them
  std::vector<Span> before_;  // the title's cells before the range
  int64_t totalSectors_ = 0;
  int64_t beforeSectors_ = 0;
  double rangeSeconds_ = 0;
  std::vector<double> chapterStarts_;
  int firstChapter_ = 1;
  int64_t position_ = 0;  // bytes
  std::vector<uint8_t> staged_;
  int64_t stagedAt_ = -1;  // byte position of staged_[0]
  int badSectors_ = 0;
  std::string error_;
};

// Seeks to origin (seconds) when the run starts later than the source, and
// starts reading: a demuxer for the input, with a DVD title's reader (may be
// null) attached and its subtitles shown before the start read back.
std::unique_ptr<Demuxer> StartReading(AVFormatContext* input, double origin, bool seek,
                                      RunControl& control, DvdInput* dvd);

// The run's input: a file through OpenSource, a dvd:// title through a
// DvdInput left in dvd (which the input reads through, so it must outlive
// the returned input).
InputPtr OpenInput(const Options& options, std::unique_ptr<DvdInput>& dvd);

// The run's input with where its wanted range starts in the input's own
// time (origin) and how long it lasts (endSeconds; 0: to its end), from
// -ss, -endpos and a DVD title's chapters.
struct InputRange {
  InputPtr input;
  double origin = 0;
  double endSeconds = 0;
};
InputRange OpenInputRange(const Options& options, std::unique_ptr<DvdInput>& dvd);

}  // namespace orv::engine
