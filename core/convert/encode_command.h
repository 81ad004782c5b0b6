// The engine command line that encodes one item.
#pragma once

#include <string>

#include "core/settings/item_values.h"
#include "core/settings/source_item.h"
#include "platform/installation.h"

namespace orv {

// Engine location + source part + stream part. Pieces get PieceTail appended.
// The settings come as checked values only (ParseItemValues); the item gives
// the source: its path, DVD selection and picture size.
std::string BuildEncodeCommand(const SourceItem& item, const ItemValues& values,
                               const Installation& installation);

// The parts, exposed for the player and for tests.
std::string SourcePart(const SourceItem& item);
std::string AudioFilterPart(const ItemValues& values);
// The filter of a channel mode ("" for the source's own channels), and of a
// volume other than the default: encode and play lines share them.
std::string ChannelFilter(ChannelMode channel);
std::string VolumeFilter(const ItemValues& values);
std::string StreamPart(const ItemValues& values, int sourceWidth, int sourceHeight);
std::string ScaleFilter(int width, int height, int sourceWidth, int sourceHeight);

// The cores an engine of `lanes` at once may use: an equal share, at least
// one. " -lavdopts threads=N -lavcopts threads=N" hands it to the engine.
int LaneThreads(int lanes, unsigned cores);
std::string ThreadsPart(int threads);

// range + " -o " + quoted output + the working-folder option.
std::string PieceTail(const std::string& range, const std::string& output,
                      const std::string& folderOption);

// Range parts.
std::string RangeSeconds(double start, double length);            // " -ss %lf -endpos %lf "
std::string RangeSplit(double start, const std::string& split);   // " -ss %lf -endpos %s "
std::string RangeSplitFromZero(const std::string& split);         // " -ss 0 -endpos %s "

}  // namespace orv
