#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "platform/command_line.h"
#include "shared/frame_channel.h"
#include "platform/launcher.h"

extern char** environ;

namespace orv {
namespace {

int WaitForChild(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Our environment without the picture channel's variable, plus it when the
// child gets a channel.
std::vector<std::string> ChildEnvironment(bool withChannel) {
  const std::string name = std::string(kFrameFdVariable) + "=";
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind(name, 0) != 0) env.emplace_back(*e);
  if (withChannel) env.push_back(name + std::to_string(kFrameChannelFd));
  return env;
}

}  // namespace

LaunchResult LaunchEngine(const std::string& commandLine, bool wait,
                          const std::function<void(int pid)>& onStarted,
                          const std::string& errorLog, int pictureFd) {
  LaunchResult result;
  std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.empty()) return result;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (errorLog.empty())
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  else
    posix_spawn_file_actions_addopen(&actions, 2, errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
  // dup2 onto the same number clears close-on-exec too.
  if (pictureFd >= 0) posix_spawn_file_actions_adddup2(&actions, pictureFd, kFrameChannelFd);
  std::vector<std::string> env = ChildEnvironment(pictureFd >= 0);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);

  pid_t pid = 0;
  int rc = ::posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return result;
  result.started = true;
  if (onStarted) onStarted(pid);
  if (wait) {
    result.exitStatus = WaitForChild(pid);
    result.exited = true;
  } else {
    std::thread([pid] { WaitForChild(pid); }).detach();
  }
  return result;
}

}  // namespace orv
