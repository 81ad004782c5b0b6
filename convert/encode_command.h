// The engine command line that encodes one item.
#pragma once

#include <string>

#include "settings/source_item.h"
#include "platform/installation.h"

namespace orv {

// Engine location + source part + stream part. Pieces get PieceTail appended.
std::string BuildEncodeCommand(const SourceItem& item, const Installation& installation);

// The parts, exposed for the player and for tests.
std::string SourcePart(const SourceItem& item);
std::string AudioFilterPart(const ConversionSettings& s);
std::string StreamPart(const SourceItem& item);
std::string ScaleFilter(const std::string& videoSize, int sourceWidth, int sourceHeight);

// range + " -o " + quoted output + the working-folder option.
std::string PieceTail(const std::string& range, const std::string& output,
                      const std::string& folderOption);

// Range parts.
std::string RangeSeconds(double start, double length);            // " -ss %lf -endpos %lf "
std::string RangeSplit(double start, const std::string& split);   // " -ss %lf -endpos %s "
std::string RangeSplitFromZero(const std::string& split);         // " -ss 0 -endpos %s "

}  // namespace orv
