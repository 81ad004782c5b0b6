// -identify: describe a source in videoinfo.dat.
#pragma once

#include <string>

#include "shared/records.h"

namespace orv::engine {

// A record for a file that could not be read: duration 0, empty lists.
MediaInfo EmptyMediaInfo();

// Fills info for the file; throws EngineError when it is not usable media.
MediaInfo IdentifyFile(const std::string& path);

struct Options;
// dvd://N: the disc's titles and chapters, and title N's streams, duration
// and picture size, from the disc's tables. Throws EngineError when the
// disc or the title cannot be read.
MediaInfo IdentifyDvd(const Options& options);

}  // namespace orv::engine
