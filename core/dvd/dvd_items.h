// A DVD title as a list item: its name after the drive, one item per drive,
// a unique output name, and the settings of the chosen profile.
#pragma once

#include <memory>
#include <string>

#include "core/dvd/dvd_choice.h"
#include "shared/records.h"
#include "core/settings/source_item.h"

namespace orv {

inline constexpr const char* kAllocationFailure = "Allocate memory failure,please try again.";

// "DVD_DRIVE_E" for "E:\" (trailing backslashes, then colons, removed; upper case).
std::string DvdSourceName(const std::string& driveText);

// Removes the first item with this source; its index, or -1.
int RemoveItemOf(ItemList& items, const std::string& sourcePath);

struct DvdItemContext {
  std::string outputFolder;
  int profile = 0;        // 0..3, or the customized profile
  std::string extension;  // from the profile (or the grid)
  const ConversionSettings* gridTexts = nullptr;
};

// The new item for the dialog's choice, named and with its output planned
// among `items`; null when the identification left no duration.
std::unique_ptr<SourceItem> MakeDvdItem(const ItemList& items, const DvdResult& choice,
                                        const DvdItemContext& context, const MediaInfo& info);

}  // namespace orv
