#include "gui/strings.h"

namespace orv {

std::string ResourceString(int id) {
  switch (id) {
    case kStrFolderTitle:
      return "\"Please Select a Folder:\"";
    case kStrAppTitle:
      return "Orvantic DVD Converter";
    default:
      return {};
  }
}

}  // namespace orv
