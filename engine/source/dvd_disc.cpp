#include "engine/source/dvd_disc.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

extern "C" {
#include <dvdread/dvd_reader.h>
#include <dvdread/ifo_read.h>
#include <dvdread/ifo_types.h>
}

#include "engine/av_support.h"

namespace orv::engine {
namespace {

// libdvdread's own messages would otherwise go to stderr, where the GUI
// expects one line from us; we keep the last one for our reason text.
struct Messages {
  std::mutex mutex;
  std::string last;
};

void LogMessage(void* opaque, dvd_logger_level_t level, const char* format, va_list args) {
  if (level != DVD_LOGGER_LEVEL_ERROR && level != DVD_LOGGER_LEVEL_WARN) return;
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  auto* messages = static_cast<Messages*>(opaque);
  std::lock_guard lock(messages->mutex);
  std::string line = text;
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  messages->last = line;
}

int Bcd(uint8_t v) { return (v >> 4) * 10 + (v & 0x0f); }

double Seconds(const dvd_time_t& t) {
  const double rate = (t.frame_u >> 6) == 1 ? 25.0 : 30000.0 / 1001.0;
  return Bcd(t.hour) * 3600.0 + Bcd(t.minute) * 60.0 + Bcd(t.second) + Bcd(t.frame_u & 0x3f) / rate;
}

std::string Language(int type, uint16_t code) {
  const char a = static_cast<char>(code >> 8), b = static_cast<char>(code & 0xff);
  if (type != 1 || a < 'a' || a > 'z' || b < 'a' || b > 'z') return "unknown";
  return std::string{a, b};
}

void AddAudio(DvdTitleInfo& info, const audio_attr_t& attr, int n) {
  DvdAudioTrack track;
  track.language = Language(attr.lang_type, attr.lang_code);
  switch (attr.audio_format) {
    case 0:
      track.format = "ac3";
      track.id = 128 + n;
      track.streamId = 0x80 + n;
      break;
    case 2:
    case 3:
      track.format = attr.audio_format == 2 ? "mpeg1" : "mpeg2ext";
      track.id = n;
      track.streamId = 0x1c0 + n;
      break;
    case 4:
      track.format = "lpcm";
      track.id = 160 + n;
      track.streamId = 0xa0 + n;
      break;
    case 6:
      track.format = "dts";
      track.id = 136 + n;
      track.streamId = 0x88 + n;
      break;
    default:
      return;  // SDDS and reserved codes: nothing we could decode
  }
  info.audio.push_back(track);
}

}  // namespace

struct DvdDisc::Tables {
  Messages messages;
  dvd_logger_cb logger{LogMessage};
  ifo_handle_t* vmg = nullptr;
  // Title sets are read when a title of theirs is asked for.
  mutable std::map<int, ifo_handle_t*> titleSets;

  ~Tables() {
    for (auto& [n, ifo] : titleSets)
      if (ifo) ifoClose(ifo);
    if (vmg) ifoClose(vmg);
  }
};

std::unique_ptr<DvdDisc> DvdDisc::Open(const std::string& device, const std::string& name) {
  struct stat st {};
  if (stat(device.c_str(), &st) != 0)
    throw EngineError("cannot open the DVD " + name + ": '" + device + "' does not exist");
  std::unique_ptr<DvdDisc> disc(new DvdDisc);
  disc->name_ = name;
  disc->tables_ = std::make_unique<Tables>();
  Tables& t = *disc->tables_;
  // libdvdcss, when libdvdread loads it for an encrypted disc, would talk
  // on stderr; the reason we give is enough.
  setenv("DVDCSS_VERBOSE", "0", 0);
  disc->reader_ = DVDOpen2(&t.messages, &t.logger, device.c_str());
  if (!disc->reader_) {
    std::string why = disc->LastMessage();
    throw EngineError("cannot open the DVD " + name + " ('" + device + "')" +
                      (why.empty() ? "" : ": " + why));
  }
  t.vmg = ifoOpen(disc->reader_, 0);
  if (!t.vmg || !t.vmg->tt_srpt)
    throw EngineError("'" + device + "' is not a DVD-Video disc: it has no readable VIDEO_TS.IFO");
  return disc;
}

DvdDisc::~DvdDisc() {
  tables_.reset();  // the IFOs go before the reader they were read from
  if (reader_) DVDClose(reader_);
}

std::string DvdDisc::LastMessage() const {
  std::lock_guard lock(tables_->messages.mutex);
  return tables_->messages.last;
}

int DvdDisc::TitleCount() const { return tables_->vmg->tt_srpt->nr_of_srpts; }

int DvdDisc::ChapterCount(int title) const {
  if (title < 1 || title > TitleCount()) return 0;
  return tables_->vmg->tt_srpt->title[title - 1].nr_of_ptts;
}

namespace {

// The title's program chain and its title-set tables, checked for the
// pointers the callers follow.
struct TitleTables {
  const ifo_handle_t* vts = nullptr;
  const pgc_t* pgc = nullptr;
  const ttu_t* ptts = nullptr;
};

TitleTables Lookup(const ifo_handle_t* vmg, dvd_reader_t* reader,
                   std::map<int, ifo_handle_t*>& titleSets, int title, const std::string& name) {
  const int count = vmg->tt_srpt->nr_of_srpts;
  if (title < 1 || title > count)
    throw EngineError("title " + std::to_string(title) + " does not exist: the DVD " + name +
                      " has " + std::to_string(count) + " title" + (count == 1 ? "" : "s"));
  const title_info_t& entry = vmg->tt_srpt->title[title - 1];
  auto [it, fresh] = titleSets.try_emplace(entry.title_set_nr, nullptr);
  if (fresh) it->second = ifoOpen(reader, entry.title_set_nr);
  const ifo_handle_t* vts = it->second;
  const std::string what = "title " + std::to_string(title) + " of the DVD " + name;
  if (!vts || !vts->vtsi_mat || !vts->vts_ptt_srpt || !vts->vts_pgcit)
    throw EngineError("cannot read the tables of " + what);
  if (entry.vts_ttn < 1 || entry.vts_ttn > vts->vts_ptt_srpt->nr_of_srpts)
    throw EngineError("the tables of " + what + " are damaged");
  const ttu_t& ptts = vts->vts_ptt_srpt->title[entry.vts_ttn - 1];
  if (ptts.nr_of_ptts < 1) throw EngineError(what + " has no chapters");
  const int pgcn = ptts.ptt[0].pgcn;
  if (pgcn < 1 || pgcn > vts->vts_pgcit->nr_of_pgci_srp || !vts->vts_pgcit->pgci_srp[pgcn - 1].pgc)
    throw EngineError("the tables of " + what + " are damaged");
  return {vts, vts->vts_pgcit->pgci_srp[pgcn - 1].pgc, &ptts};
}

}  // namespace

DvdTitleInfo DvdDisc::Title(int title) const {
  TitleTables tt = Lookup(tables_->vmg, reader_, tables_->titleSets, title, name_);
  const vtsi_mat_t& mat = *tt.vts->vtsi_mat;
  DvdTitleInfo info;
  info.number = title;
  info.titleSet = tables_->vmg->tt_srpt->title[title - 1].title_set_nr;
  info.chapters = tt.ptts->nr_of_ptts;
  info.durationSeconds = Seconds(tt.pgc->playback_time);
  if (info.durationSeconds <= 0 && tt.pgc->cell_playback) {
    for (int c = 0; c < tt.pgc->nr_of_cells; ++c)
      info.durationSeconds += Seconds(tt.pgc->cell_playback[c].playback_time);
  }
  const video_attr_t& video = mat.vts_video_attr;
  info.height = video.video_format == 1 ? 576 : 480;
  static const int kWidths[] = {720, 704, 352, 352};
  info.width = kWidths[video.picture_size & 3];
  if (video.picture_size == 3) info.height /= 2;
  info.displayAspect = video.display_aspect_ratio == 3 ? AVRational{16, 9} : AVRational{4, 3};

  for (int i = 0; i < 8 && i < mat.nr_of_vts_audio_streams; ++i) {
    const uint16_t control = tt.pgc->audio_control[i];
    if (control & 0x8000) AddAudio(info, mat.vts_audio_attr[i], (control >> 8) & 7);
  }
  for (int i = 0; i < 32 && i < mat.nr_of_vts_subp_streams; ++i) {
    const uint32_t control = tt.pgc->subp_control[i];
    if (!(control & 0x80000000u)) continue;
    // The stream meant for our picture: the 4:3 one, or on a 16:9 title
    // the one for the full anamorphic frame (which we scale as a whole).
    const int n = info.displayAspect.num == 16 ? (control >> 16) & 0x1f : (control >> 24) & 0x1f;
    const subp_attr_t& attr = mat.vts_subp_attr[i];
    info.subtitles.push_back({n, 0x20 + n, Language(attr.type == 1 ? 1 : 0, attr.lang_code)});
  }
  for (int i = 0; i < 16; ++i) info.palette[i] = tt.pgc->palette[i];
  return info;
}

DvdCellRange DvdDisc::Cells(int title, int firstChapter, int lastChapter) const {
  TitleTables tt = Lookup(tables_->vmg, reader_, tables_->titleSets, title, name_);
  const int chapters = tt.ptts->nr_of_ptts;
  if (firstChapter < 1 || lastChapter < firstChapter || lastChapter > chapters)
    throw EngineError("chapters " + std::to_string(firstChapter) + "-" +
                      std::to_string(lastChapter) + " do not exist: title " +
                      std::to_string(title) + " has " + std::to_string(chapters) + " chapter" +
                      (chapters == 1 ? "" : "s"));
  const pgc_t* pgc = tt.pgc;
  const int pgcn = tt.ptts->ptt[0].pgcn;
  // A chapter starts at the first cell of its program; the range ends
  // before the next chapter's first cell, or at the end of the chain.
  auto startCell = [&](int chapter) {
    const ptt_info_t& p = tt.ptts->ptt[chapter - 1];
    if (p.pgcn != pgcn || p.pgn < 1 || p.pgn > pgc->nr_of_programs || !pgc->program_map) return -1;
    return static_cast<int>(pgc->program_map[p.pgn - 1]);  // 1-based
  };
  const int first = startCell(firstChapter);
  int end = lastChapter < chapters ? startCell(lastChapter + 1) - 1 : pgc->nr_of_cells;
  if (lastChapter < chapters && end < 0) end = pgc->nr_of_cells;
  if (first < 1 || end > pgc->nr_of_cells || first > end || !pgc->cell_playback)
    throw EngineError("the chapter table of title " + std::to_string(title) + " of the DVD " +
                      name_ + " cannot be followed");
  DvdCellRange range;
  bool found = false;
  int chapter = firstChapter;
  for (int c = 1; c <= pgc->nr_of_cells; ++c) {
    const cell_playback_t& cell = pgc->cell_playback[c - 1];
    // Of an angle block only the first angle plays.
    if (cell.block_type == BLOCK_TYPE_ANGLE_BLOCK && cell.block_mode != BLOCK_MODE_FIRST_CELL)
      continue;
    if (cell.last_sector < cell.first_sector) continue;
    // A chapter begins at the first played cell at or after its own.
    while (chapter <= lastChapter && startCell(chapter) >= 1 && c >= startCell(chapter)) {
      range.chapterCells.push_back(range.cells.size());
      ++chapter;
    }
    if (c >= first && c <= end) {
      if (!found) range.first = range.cells.size();
      range.last = range.cells.size();
      found = true;
    }
    range.cells.push_back({cell.first_sector, cell.last_sector, Seconds(cell.playback_time)});
  }
  if (!found)
    throw EngineError("chapters " + std::to_string(firstChapter) + "-" +
                      std::to_string(lastChapter) + " of title " + std::to_string(title) +
                      " hold no video");
  return range;
}

dvd_file_s* DvdDisc::OpenTitleSet(int titleSet) const {
  dvd_file_t* file = DVDOpenFile(reader_, titleSet, DVD_READ_TITLE_VOBS);
  if (!file) {
    std::string why = LastMessage();
    throw EngineError("cannot open title set " + std::to_string(titleSet) + " of the DVD " + name_ +
                      (why.empty() ? "" : ": " + why));
  }
  return file;
}

}  // namespace orv::engine
