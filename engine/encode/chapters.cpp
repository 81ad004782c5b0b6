#include "engine/encode/chapters.h"

#include <algorithm>
#include <cmath>
#include <limits>

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

namespace orv::engine {
namespace {

constexpr double kShortestMark = 0.05;
constexpr AVRational kMarkTimeBase{1, 1000};

}  // namespace

std::vector<ChapterMark> ChaptersInRange(const std::vector<ChapterMark>& source, double rangeStart,
                                         double length) {
  const double rangeEnd =
      length > 0 ? rangeStart + length : std::numeric_limits<double>::infinity();
  std::vector<ChapterMark> out;
  for (const ChapterMark& mark : source) {
    const double start = std::max(mark.start, rangeStart);
    const double end = std::min(mark.end, rangeEnd);
    if (end - start < kShortestMark) continue;
    out.push_back({start - rangeStart, end - rangeStart, mark.title});
  }
  return out;
}

std::vector<ChapterMark> FileChapters(AVFormatContext* input, double sourceStart) {
  std::vector<ChapterMark> marks;
  for (unsigned i = 0; i < input->nb_chapters; ++i) {
    const AVChapter* c = input->chapters[i];
    ChapterMark mark;
    mark.start = static_cast<double>(c->start) * av_q2d(c->time_base) - sourceStart;
    mark.end = static_cast<double>(c->end) * av_q2d(c->time_base) - sourceStart;
    if (!std::isfinite(mark.start) || !std::isfinite(mark.end) || mark.end <= mark.start) continue;
    if (const AVDictionaryEntry* t = av_dict_get(c->metadata, "title", nullptr, 0))
      mark.title = t->value;
    marks.push_back(std::move(mark));
  }
  std::sort(marks.begin(), marks.end(),
            [](const ChapterMark& a, const ChapterMark& b) { return a.start < b.start; });
  return marks;
}

void AddChapters(AVFormatContext* output, const std::vector<ChapterMark>& marks) {
  for (const ChapterMark& mark : marks) {
    auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
    if (!chapter) throw EngineError("out of memory");
    void* grown = av_realloc_array(output->chapters, output->nb_chapters + 1, sizeof(AVChapter*));
    if (!grown) {
      av_free(chapter);
      throw EngineError("out of memory");
    }
    output->chapters = static_cast<AVChapter**>(grown);
    output->chapters[output->nb_chapters++] = chapter;
    chapter->id = output->nb_chapters;
    chapter->time_base = kMarkTimeBase;
    chapter->start = std::llround(mark.start * 1000);
    chapter->end = std::llround(mark.end * 1000);
    const std::string title =
        mark.title.empty() ? "Chapter " + std::to_string(output->nb_chapters) : mark.title;
    check(av_dict_set(&chapter->metadata, "title", title.c_str(), 0), "cannot name a chapter");
  }
}

}  // namespace orv::engine
