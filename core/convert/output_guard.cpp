#include "core/convert/output_guard.h"

#include <algorithm>
#include <filesystem>

#include "core/convert/piece_plan.h"
#include "platform/files.h"
#include "core/settings/source_list.h"

namespace orv {
namespace {

constexpr const char* kClipMark = "_clip_";

// k of "<base>_clip_<k>.<ext>" (k written as ClipName writes it), 0 otherwise.
long PieceNumber(const std::string& path, const std::string& base, const std::string& ext) {
  const std::string head = base + kClipMark, tail = "." + ext;
  if (path.size() <= head.size() + tail.size() || path.compare(0, head.size(), head) != 0 ||
      path.compare(path.size() - tail.size(), tail.size(), tail) != 0)
    return 0;
  const std::string digits = path.substr(head.size(), path.size() - head.size() - tail.size());
  if (digits.size() > 9 || digits[0] == '0' ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return std::stol(digits);
}

}  // namespace

ItemOutputs OutputsOf(const SourceItem& item) {
  ItemOutputs outputs;
  if (SplitKindOf(item) == SplitKind::None) {
    outputs.path = ComparablePath(FirstPiece(item).output);
    return outputs;
  }
  outputs.split = true;
  outputs.base = ComparablePath(OutputBase(item.outputPath));
  outputs.ext = item.outputFormat;
  return outputs;
}

bool OutputsOverlap(const ItemOutputs& a, const ItemOutputs& b) {
  if (!a.split && !b.split) return a.path == b.path;
  if (a.split && b.split) return a.base == b.base && a.ext == b.ext;
  const ItemOutputs& one = a.split ? b : a;
  const ItemOutputs& pieces = a.split ? a : b;
  return PieceNumber(one.path, pieces.base, pieces.ext) > 0;
}

std::vector<std::string> ExistingOutputs(const SourceItem& item) {
  if (SplitKindOf(item) == SplitKind::None) {
    const std::string output = FirstPiece(item).output;
    if (FileExists(output)) return {output};
    return {};
  }
  const std::string base = OutputBase(item.outputPath);
  const std::filesystem::path folder = std::filesystem::path(base).parent_path();
  const std::string prefix = std::filesystem::path(base).filename().string();
  std::vector<std::pair<long, std::string>> found;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string path = (folder / name).string();
    if (const long k = PieceNumber(path, base, item.outputFormat); k > 0 && FileExists(path))
      found.emplace_back(k, path);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> paths;
  for (auto& [k, path] : found) paths.push_back(std::move(path));
  return paths;
}

std::vector<std::string> SharedOutputReasons(const ItemList& items) {
  std::vector<ItemOutputs> outputs;
  for (const auto& item : items) outputs.push_back(OutputsOf(*item));
  std::vector<std::string> reasons(items.size());
  for (std::size_t j = 0; j < items.size(); ++j) {
    for (std::size_t k = 0; k < j; ++k) {
      if (!OutputsOverlap(outputs[k], outputs[j])) continue;
      const SourceItem& shown = outputs[j].split && !outputs[k].split ? *items[k] : *items[j];
      const std::string name =
          SplitKindOf(shown) == SplitKind::None ? FirstPiece(shown).output : ClipName(shown, 1);
      reasons[j] = "item " + std::to_string(k + 1) + " writes the same output file " + name;
      break;
    }
  }
  return reasons;
}

std::vector<std::string> SourcePaths(const ItemList& items) {
  std::vector<std::string> paths;
  for (const auto& item : items)
    if (!item->isDvdTitle) paths.push_back(item->sourcePath);
  return paths;
}

std::string SourceConflict(const std::vector<std::string>& sources, const std::string& output) {
  for (std::size_t i = 0; i < sources.size(); ++i)
    if (SameFile(sources[i], output))
      return "the output " + output + " is the source " + sources[i] + "; nothing was written";
  return {};
}

}  // namespace orv
