// A DVD-Video disc read through libdvdread: its titles, chapters, streams
// and the cells a chapter range plays. Works on a device node, a disc image
// or a folder holding VIDEO_TS; with libdvdcss installed libdvdread also
// reads encrypted discs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

struct dvd_reader_s;
struct dvd_file_s;

namespace orv::engine {

struct DvdAudioTrack {
  int id = 0;            // as MPlayer numbers them: AC-3 128+n, DTS 136+n, LPCM 160+n, MPEG n
  int streamId = 0;      // the MPEG-PS stream id libavformat gives the stream
  std::string format;    // "ac3", "dts", "lpcm", "mpeg1", "mpeg2ext"
  std::string language;  // two letters, or "unknown"
};

struct DvdSubtitleTrack {
  int number = 0;    // subpicture stream 0-31
  int streamId = 0;  // 0x20 + number
  std::string language;
};

struct DvdCell {
  uint32_t firstSector = 0;  // inclusive, within the title set's VOBs
  uint32_t lastSector = 0;   // inclusive
  double seconds = 0;        // playing time from the tables
  int64_t sectors() const { return static_cast<int64_t>(lastSector) - firstSector + 1; }
};

// The cells of a title's program chain (first angle only) and which of them
// a chapter range plays: cells[first] to cells[last].
struct DvdCellRange {
  std::vector<DvdCell> cells;
  size_t first = 0;
  size_t last = 0;
  // For each chapter of the range, in order: the index in `cells` of its
  // first cell.
  std::vector<size_t> chapterCells;
};

struct DvdTitleInfo {
  int number = 0;  // 1-based title on the disc
  int titleSet = 0;
  int chapters = 0;
  double durationSeconds = 0;
  int width = 0;
  int height = 0;
  AVRational displayAspect{4, 3};
  std::vector<DvdAudioTrack> audio;
  std::vector<DvdSubtitleTrack> subtitles;
  uint32_t palette[16] = {};  // subpicture colours, 0x00YYCrCb
};

class DvdDisc {
 public:
  // Throws EngineError with a one-line reason when the device cannot be read
  // as a DVD-Video disc. name is how the disc is called in messages.
  static std::unique_ptr<DvdDisc> Open(const std::string& device, const std::string& name);
  ~DvdDisc();
  DvdDisc(const DvdDisc&) = delete;
  DvdDisc& operator=(const DvdDisc&) = delete;

  int TitleCount() const;
  // 0 for a title out of range.
  int ChapterCount(int title) const;
  // Throws for a title out of range or one whose tables cannot be read.
  DvdTitleInfo Title(int title) const;
  // The title's cells, with the range from the first cell of firstChapter
  // to the last cell of lastChapter (1-based, inclusive). Throws for a range
  // the title does not have.
  DvdCellRange Cells(int title, int firstChapter, int lastChapter) const;

  // The title set's video objects, for reading sectors. Throws on failure.
  dvd_file_s* OpenTitleSet(int titleSet) const;
  // What libdvdread last complained about ("" if nothing).
  std::string LastMessage() const;

  const std::string& name() const { return name_; }

 private:
  DvdDisc() = default;
  struct Tables;
  std::string name_;
  dvd_reader_s* reader_ = nullptr;
  std::unique_ptr<Tables> tables_;
};

}  // namespace orv::engine
