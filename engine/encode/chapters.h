// Chapter marks of the output: a DVD title's chapters or a file's own, cut
// to the range one run encodes (its -ss start and -endpos length) and moved
// to where that range begins in the output.
#pragma once

#include <string>
#include <vector>

#include "engine/av_support.h"

namespace orv::engine {

struct ChapterMark {
  double start = 0;  // seconds
  double end = 0;
  std::string title;
};

// The marks that fall in [rangeStart, rangeStart + length) of the source, in
// output seconds; a chapter under way at the range's start begins at 0.
// length <= 0: the range runs to the source's end. Marks shorter than a
// twentieth of a second (a chapter the range only touches) are left out.
std::vector<ChapterMark> ChaptersInRange(const std::vector<ChapterMark>& source, double rangeStart,
                                         double length);

// A file's chapters in seconds from its start time.
std::vector<ChapterMark> FileChapters(AVFormatContext* input, double sourceStart);

// Gives the output these marks (before its header is written).
void AddChapters(AVFormatContext* output, const std::vector<ChapterMark>& marks);

}  // namespace orv::engine
