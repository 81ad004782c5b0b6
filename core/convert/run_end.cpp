#include "core/convert/run_end.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/files.h"
#include "core/settings/source_list.h"
#include "core/settings/time_text.h"

namespace orv {
namespace {

std::string ItemLines(const std::vector<ItemFailure>& failures,
                      const std::vector<ItemWarning>& warnings) {
  std::string text;
  if (!failures.empty()) {
    text += "\n\n" + std::to_string(failures.size()) +
            (failures.size() == 1 ? " item was" : " items were") + " not converted:";
    for (const auto& f : failures)
      text += "\n" + std::to_string(f.itemNumber) + ": " + f.sourcePath + " - " + f.reason;
  }
  if (!warnings.empty()) {
    text += "\n\nConverted with warnings:";
    for (const auto& w : warnings)
      text += "\n" + std::to_string(w.itemNumber) + ": " + w.sourcePath + " - " + w.reason;
  }
  return text;
}

// Renames without replacing: link() fails on an existing name.
bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  // File systems without hard links: look first, then rename.
  if (FileExists(to)) return false;
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

std::string CompleteText(const std::vector<ItemFailure>& failures,
                         const std::vector<ItemWarning>& warnings) {
  return kCompleteMessage + ItemLines(failures, warnings);
}

std::string RunNoticeText(std::size_t failed, std::size_t items) {
  if (failed == 0) return kCompleteMessage;
  if (items == 1) return "The item failed";
  return std::to_string(failed) + " of " + std::to_string(items) + " items failed";
}

std::string StoppedText(const StopPoint& stop, const std::vector<ItemFailure>& failures,
                        const std::vector<ItemWarning>& warnings) {
  std::string text = kStoppedMessage;
  const std::string item =
      "Item " + std::to_string(stop.itemNumber) + " (" + stop.sourcePath + ")";
  if (!stop.partialOutput.empty()) {
    text += "\n\n" + item + " was stopped";
    if (stop.position > 0) text += " at " + FormatTime(stop.position);
    text += "; what was converted of it is in " + stop.partialOutput + ".";
  } else if (stop.itemNumber > 0) {
    text += "\n\n" + item + " was not converted.";
  }
  if (stop.notStarted > 0)
    text += "\n" + std::to_string(stop.notStarted) +
            (stop.notStarted == 1 ? " item after it was" : " items after it were") +
            " not started.";
  return text + ItemLines(failures, warnings);
}

std::string SetPartialAside(const std::string& output) {
  const std::string base = OutputBase(output);
  const std::string ext = output.substr(base.size());  // ".mp4", or "" without a dot
  const std::string stem = base.empty() && ext.empty() ? output : base;
  std::string suffix = ".partial";
  for (int n = 1; n <= 1000; ++n) {
    const std::string aside = stem + suffix + ext;
    if (MoveWithoutReplacing(output, aside)) return aside;
    if (!FileExists(output)) break;
    suffix = ".partial_" + std::to_string(n);
  }
  // Never left under the finished name.
  DeleteByName(output);
  return {};
}

bool AppendRunLog(const std::string& folder, const std::string& text) {
  const std::string path = folder + (folder.empty() || folder.back() == '/' ? "" : "/") + kRunLogFile;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  char stamp[64] = "";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local)) std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  const std::string entry = std::string("--- ") + stamp + "\n" + text + "\n";
  bool ok = ::write(fd, entry.data(), entry.size()) == static_cast<ssize_t>(entry.size());
  ok = ::fsync(fd) == 0 && ok;
  return ::close(fd) == 0 && ok;
}

}  // namespace orv
