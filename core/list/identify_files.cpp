#include "core/list/identify_files.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "platform/process_list.h"

namespace orv {

std::vector<FileAnswer> IdentifyFiles(EngineLink& link, const std::vector<std::string>& paths,
                                      int engines) {
  std::vector<FileAnswer> answers(paths.size());
  const int count = std::min<int>(std::max(engines, 1), static_cast<int>(paths.size()));
  if (count <= 1) {
    for (std::size_t j = 0; j < paths.size(); ++j) answers[j] = IdentifyFile(link, paths[j]);
    return answers;
  }
  // A share of a list beside other shares (a lane link) expects their engines.
  if (!link.lane && IsEngineRunning(link.installation().EngineLocation())) {
    for (auto& answer : answers) answer.result = Identified::EngineBusy;
    return answers;
  }
  // Each engine takes the next file when its last one is answered.
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> threads;
  for (int k = 1; k <= count; ++k) {
    threads.emplace_back([&, lane = LaneLink(link, k)] {
      for (std::size_t j = next++; j < paths.size(); j = next++)
        answers[j] = IdentifyFile(*lane, paths[j]);
    });
  }
  for (auto& thread : threads) thread.join();
  return answers;
}

}  // namespace orv
