// What the engine's end-to-end tests share: media made once per test program
// by a fixture script (ORV_MAKE_MEDIA), starting the real engine, and reading
// its outputs with ffprobe/ffmpeg the way a player would see them.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shared/records.h"

extern char** environ;

#include "platform/command_line.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace orv_engine_test {

inline fs::path g_media;

class MediaEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    char tmpl[] = "/tmp/orv-engine-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    g_media = tmpl;
    std::string cmd = std::string("sh '") + ORV_MAKE_MEDIA + "' '" + g_media.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << "fixture generation failed";
  }
  void TearDown() override { fs::remove_all(g_media); }
};
[[maybe_unused]] inline testing::Environment* const g_env =
    testing::AddGlobalTestEnvironment(new MediaEnvironment);

inline std::string media(const char* name) { return (g_media / name).string(); }

// Splits like the GUI's launcher: whitespace separates, double quotes group.
inline std::vector<std::string> splitCommand(const std::string& line) {
  return orv::SplitCommandLine(line);
}

inline std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Engine {
  pid_t pid = -1;
  fs::path errFile;

  // Waits generously; a hang fails the test instead of blocking the run.
  int wait(std::chrono::seconds limit = 60s) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "engine hung";
        return -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
  }
  std::string stderrText() const { return readText(errFile); }
};

// Starts args[0] (searched on PATH) with stdout on /dev/null and stderr into
// errFile; -1 when it cannot start.
inline pid_t spawnQuiet(std::vector<std::string> args, const std::string& errFile = "/dev/null") {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

inline Engine start(const std::vector<std::string>& args, const fs::path& folder) {
  Engine e;
  e.errFile = folder / "engine.err";
  std::vector<std::string> all{ORV_ENGINE_PATH};
  all.insert(all.end(), args.begin(), args.end());
  e.pid = spawnQuiet(all, e.errFile.string());
  EXPECT_GT(e.pid, 0);
  return e;
}

inline std::string capture(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

// ffprobe "flat" output as key -> value ("streams.stream.0.codec_name").
inline std::map<std::string, std::string> probe(const fs::path& file) {
  std::map<std::string, std::string> m;
  std::istringstream in(
      capture("ffprobe -v error -show_streams -show_format -of flat '" + file.string() + "'"));
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string v = line.substr(eq + 1);
    if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
    m[line.substr(0, eq)] = v;
  }
  return m;
}

inline double num(const std::map<std::string, std::string>& m, const std::string& key) {
  auto it = m.find(key);
  return it == m.end() ? NAN : std::atof(it->second.c_str());
}

inline std::string str(const std::map<std::string, std::string>& m, const std::string& key) {
  auto it = m.find(key);
  return it == m.end() ? "" : it->second;
}

// Whole file decodes without a single error message.
inline bool decodesCleanly(const fs::path& file) {
  return capture("ffmpeg -nostdin -v error -i '" + file.string() + "' -f null - 2>&1").empty();
}

// Y plane of video frame `index`, W*H bytes.
inline std::string lumaOfFrame(const fs::path& file, int index = 0) {
  return capture("ffmpeg -nostdin -v error -i '" + file.string() + "' -vf 'select=eq(n\\," +
                 std::to_string(index) + "),extractplanes=y' -frames:v 1 -f rawvideo -");
}

inline std::vector<int16_t> pcm(const fs::path& file) {
  std::string raw =
      capture("ffmpeg -nostdin -v error -i '" + file.string() + "' -f s16le -acodec pcm_s16le -");
  std::vector<int16_t> s(raw.size() / 2);
  std::memcpy(s.data(), raw.data(), s.size() * 2);
  return s;
}

inline double rms(const std::vector<int16_t>& s, int channels, int ch) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = ch; i < s.size(); i += channels, ++n) sum += double(s[i]) * s[i];
  return n ? std::sqrt(sum / n) : 0;
}

// Frequency of a pure tone from its zero crossings.
inline double toneHz(const std::vector<int16_t>& s, int channels, int ch, int rate) {
  size_t crossings = 0, frames = s.size() / channels;
  for (size_t f = 1; f < frames; ++f)
    if ((s[(f - 1) * channels + ch] < 0) != (s[f * channels + ch] < 0)) ++crossings;
  return frames ? crossings / 2.0 / (double(frames) / rate) : 0;
}

inline orv::MediaInfo readInfo(const fs::path& folder) {
  orv::MediaInfo info;
  std::string bytes = readText(folder / orv::kMediaInfoFile);
  EXPECT_EQ(bytes.size(), sizeof info);
  if (bytes.size() == sizeof info) std::memcpy(&info, bytes.data(), sizeof info);
  return info;
}

inline void writeCommand(const fs::path& folder, orv::EngineCommand c) {
  orv::EngineControl control;
  control.command = static_cast<int32_t>(c);
  fs::path tmp = folder / "vctrl.tmp";
  std::ofstream(tmp, std::ios::binary)
      .write(reinterpret_cast<const char*>(&control), sizeof control);
  fs::rename(tmp, folder / orv::kControlFile);
}

inline double readPosition(const fs::path& folder) {
  std::string bytes = readText(folder / orv::kPositionFile);
  double v = -1;
  if (bytes.size() == sizeof v) std::memcpy(&v, bytes.data(), sizeof v);
  return v;
}

inline const std::string kMpeg4Aac =
    " -oac lavc -ovc lavc -lavcopts "
    "acodec=aac:abitrate=128:vcodec=mpeg4:vbitrate=1200:mbd=2:cmp=2:subcmp=2:"
    "trell=yes:v4mv=yes:aic=2:vglobal=1:aglobal=1 -ffourcc mp4v -of lavf "
    "-lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames";
inline const std::string kH264Aac =
    " -oac lavc -ovc lavc -lavcopts "
    "keyint=500:level=13:vqmin=1:vqmax=31:vrc_maxrate=1200:vratetol=10:bit_exact:"
    "coder=0:aglobal=1:vglobal=1:vcodec=h264:acodec=aac:vbitrate=1200:abitrate=128:v4mv:qpel:trell="
    "lambda:mbd=1:"
    "vme=1  -of lavf -lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames ";
inline const std::string kMpeg4Only =
    " -ovc lavc -lavcopts "
    "vcodec=mpeg4:vbitrate=1200:mbd=2:cmp=2:subcmp=2:trell=yes:v4mv=yes:aic=2:vglobal=1:"
    "aglobal=1 -ffourcc mp4v -of lavf -lavfopts "
    "format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames";
inline const std::string kH264Only =
    " -oac lavc -ovc lavc -lavcopts "
    "keyint=500:level=13:vqmin=1:vqmax=31:vrc_maxrate=1200:vratetol=10:bit_exact:"
    "coder=0:aglobal=1:vglobal=1:vcodec=h264:vbitrate=1200:v4mv:qpel:trell=lambda:mbd=1:vme=1 -of "
    "lavf "
    "-lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames ";
inline const std::string kAacOnly =
    "  -oac lavc -lavcopts acodec=aac:abitrate=128 -ffourcc mp4v -of lavf "
    "-lavfopts format=mp4:i_certify_that_my_video_stream_does_not_use_b_frames -ovc frameno -of "
    "rawaudio ";
inline const std::string kMp3 =
    "   -ovc frameno -oac mp3lame -lameopts  cbr:br=128:mode=0 -of rawaudio ";
inline const std::string kLetterbox = " -vf scale=320:-2,harddup,expand=320:240:-1:-1:1 ";
inline const std::string kPillarbox = " -vf scale=-2:240,harddup,expand=320:240:-1:-1:1 ";

class EngineTest : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orv-engine-run-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string folderArg() const { return " -currentfolder \"" + dir_.string() + "/\""; }

  Engine startLine(const std::string& line) { return start(splitCommand(line), dir_); }

  int runLine(const std::string& line) {
    Engine e = startLine(line);
    int rc = e.wait();
    lastError_ = e.stderrText();
    return rc;
  }

  // Source part + middle + tail, as the GUI assembles an encode line.
  int encode(const std::string& source, const std::string& middle, const fs::path& out) {
    return runLine(" \"" + source + "\" " + middle + " -o \"" + out.string() + "\"" + folderArg());
  }

  int identify(const std::string& source) {
    writeCommand(dir_, orv::EngineCommand::Stop);  // the GUI leaves Stop in place for identify runs
    return runLine(" \"" + source + "\" -vo null -nosound -identify" + folderArg());
  }

  // No ".name.part-PID" left over.
  bool noTempFiles() const {
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename().string().find(".part-") != std::string::npos) return false;
    return true;
  }

  fs::path dir_;
  std::string lastError_;
};

}  // namespace orv_engine_test
