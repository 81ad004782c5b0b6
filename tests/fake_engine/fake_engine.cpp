// A stand-in engine for tests. It obeys the status-file protocol and behaves
// as <working folder>/fake.cfg says (key=value lines):
//   duration, width, height  identify answer (no duration key: no answer written)
//   run_ms                   how long an encode or play run lasts (default 0)
//   step                     seconds of position added every 50 ms of running
//   exit                     exit status (default 0)
//   write_output             1: create the -o file
//   ignore_stop              1: a hung engine that never obeys command 2
//   write_temp               1: keep ".<name>.part-<pid>" beside the -o file while running
//   titles, chapters         DVD answer: title count, chapters per title ("3,5")
//   audio                    DVD audio streams, "id/name/language" separated by ","
//   subs                     DVD subtitles, names separated by ","
//   warn                     an encode run says this warning on stderr
//   identify_ms              an identification hangs this long, deaf to Stop
//   no_answer_for            a source whose argument contains this text gets no answer
//   play_error               a play run says this error on stderr and fails at once
//   fail_output              an encode run whose -o contains one of these texts
//                            (separated by ',') fails at the end of its run
//   slow_output              an encode run whose -o contains this text runs
//                            three times run_ms
// Every start appends its arguments to <folder>/fake_log.txt, one line per
// start, the arguments separated by '|'. An engine of a run of several at
// once works in a folder of its own inside the test's: without a fake.cfg
// there, it reads the test folder's and logs there (and notes its start and
// end in fake_spans.txt: "start|end <output or source> <ms since the epoch>").
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "shared/records.h"

namespace {

std::map<std::string, std::string> ReadConfig(const std::string& path) {
  std::map<std::string, std::string> cfg;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.find('=');
    if (eq != std::string::npos) cfg[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return cfg;
}

int ReadCommand(const std::string& path) {
  orv::EngineControl c;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return -1;
  bool ok = std::fread(&c, sizeof c, 1, f) == 1;
  std::fclose(f);
  return ok ? c.command : -1;
}

void WritePosition(const std::string& path, double p) {
  std::string tmp = path + ".tmp";
  if (std::FILE* f = std::fopen(tmp.c_str(), "wb")) {
    std::fwrite(&p, sizeof p, 1, f);
    std::fclose(f);
    std::rename(tmp.c_str(), path.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder, output, source;
  bool identify = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (i == 1) source = a;
    if (a == "-currentfolder" && i + 1 < argc) folder = argv[i + 1];
    if (a == "-o" && i + 1 < argc) output = argv[i + 1];
    if (a == "-identify") identify = true;
  }
  std::string home = folder;
  if (std::ifstream(folder + "fake.cfg").fail() && folder.size() > 1) {
    const auto slash = folder.rfind('/', folder.size() - 2);
    if (slash != std::string::npos) home = folder.substr(0, slash + 1);
  }
  {
    std::ofstream log(home + "fake_log.txt", std::ios::app);
    std::string line;
    for (int i = 1; i < argc; ++i) line += (i > 1 ? "|" : "") + std::string(argv[i]);
    log << line + "\n" << std::flush;
  }
  auto span = [&](const char* what) {
    const std::string& label = output.empty() ? source : output;
    if (home == folder || label.empty()) return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch()).count();
    std::ofstream(home + "fake_spans.txt", std::ios::app)
        << std::string(what) + " " + label + " " + std::to_string(ms) + "\n" << std::flush;
  };
  auto cfg = ReadConfig(home + "fake.cfg");
  auto num = [&](const char* key, double def) {
    auto it = cfg.find(key);
    return it == cfg.end() ? def : std::atof(it->second.c_str());
  };
  const int exitStatus = static_cast<int>(num("exit", 0));

  if (!identify && output.empty() && cfg.count("play_error")) {
    std::fprintf(stderr, "orvantic-engine: %s\n", cfg["play_error"].c_str());
    return 1;
  }
  if (identify) {
    span("start");
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(num("identify_ms", 0))));
    const bool refused =
        cfg.count("no_answer_for") && source.find(cfg["no_answer_for"]) != std::string::npos;
    if (cfg.count("duration") && !refused) {
      auto info = std::make_unique<orv::MediaInfo>();
      info->durationSeconds = num("duration", 0);
      info->videoWidth = static_cast<int>(num("width", 0));
      info->videoHeight = static_cast<int>(num("height", 0));
      for (int i = 0; i < orv::kMaxStreams; ++i)
        info->audioStreamIds[i] = info->subtitleIds[i] = -1;
      info->titleCount = static_cast<int>(num("titles", 0));
      auto list = [&](const char* key) {
        std::vector<std::string> parts;
        std::string text = cfg.count(key) ? cfg[key] : "";
        for (std::size_t start = 0; start < text.size();) {
          std::size_t comma = text.find(',', start);
          if (comma == std::string::npos) comma = text.size();
          parts.push_back(text.substr(start, comma - start));
          start = comma + 1;
        }
        return parts;
      };
      auto chapters = list("chapters");
      for (std::size_t t = 0; t < chapters.size() && t < orv::kMaxTitles; ++t)
        info->chapterCounts[t] = std::atoi(chapters[t].c_str());
      auto audio = list("audio");
      for (std::size_t i = 0; i < audio.size() && i < orv::kMaxStreams; ++i) {
        const std::size_t a = audio[i].find('/'), b = audio[i].rfind('/');
        info->audioStreamIds[i] = std::atoi(audio[i].c_str());
        std::snprintf(info->audioStreamNames[i], orv::kNameBytes, "%s",
                      audio[i].substr(a + 1, b - a - 1).c_str());
        std::snprintf(info->audioStreamLanguages[i], orv::kNameBytes, "%s",
                      audio[i].substr(b + 1).c_str());
      }
      auto subs = list("subs");
      for (std::size_t i = 0; i < subs.size() && i < orv::kMaxStreams; ++i) {
        info->subtitleIds[i] = static_cast<int>(i) + 32;
        std::snprintf(info->subtitleNames[i], orv::kNameBytes, "%s", subs[i].c_str());
      }
      if (std::FILE* f = std::fopen((folder + orv::kMediaInfoFile).c_str(), "wb")) {
        std::fwrite(info.get(), sizeof *info, 1, f);
        std::fclose(f);
      }
    }
    span("end");
    return exitStatus;
  }

  span("start");
  if (!output.empty() && cfg.count("warn"))
    std::fprintf(stderr, "orvantic-engine: warning: %s\n", cfg["warn"].c_str());
  std::string temp;
  if (!output.empty() && num("write_temp", 0) == 1) {
    const auto slash = output.rfind('/');
    temp = output.substr(0, slash + 1) + "." + output.substr(slash + 1) + ".part-" +
           std::to_string(getpid());
    std::ofstream(temp) << "partial";
  }
  const bool slow = !output.empty() && cfg.count("slow_output") &&
                    output.find(cfg["slow_output"]) != std::string::npos;
  const double runMs = num("run_ms", 0) * (slow ? 3 : 1), step = num("step", 0);
  const bool ignoreStop = num("ignore_stop", 0) == 1;
  double position = 0, ranMs = 0;
  while (ranMs < runMs) {
    int command = ReadCommand(folder + orv::kControlFile);
    if (command == 2 && !ignoreStop) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (command == 1) continue;
    ranMs += 50;
    position += step;
    WritePosition(folder + orv::kPositionFile, position);
  }
  if (!temp.empty()) std::remove(temp.c_str());
  for (std::size_t start = 0; !output.empty() && cfg.count("fail_output") && start < cfg["fail_output"].size();) {
    std::size_t comma = cfg["fail_output"].find(',', start);
    if (comma == std::string::npos) comma = cfg["fail_output"].size();
    if (output.find(cfg["fail_output"].substr(start, comma - start)) != std::string::npos) {
      span("end");
      std::fprintf(stderr, "orvantic-engine: cannot convert %s\n", output.c_str());
      return 1;
    }
    start = comma + 1;
  }
  if (!output.empty() && num("write_output", 0) == 1) std::ofstream(output) << "fake";
  span("end");
  return exitStatus;
}
