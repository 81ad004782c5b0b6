// Starting the engine from one command-line text.
#pragma once

#include <functional>
#include <string>

namespace orv {

struct LaunchResult {
  bool started = false;
  bool exited = false;  // only for a waiting launch
  int exitStatus = -1;  // exit code, or 128 + signal number
  bool busy = false;    // not started: another engine runs
};

// Splits commandLine with SplitCommandLine and starts the first word as the
// program, with stdin, stdout and stderr on /dev/null and in its own process
// group (a Ctrl-C at the terminal is for us to handle, not for the engine).
// wait: block until the child ends. Otherwise a reaper thread collects it,
// so no zombie stays in the process list either way.
// onStarted, when given, is called with the child's pid right after it starts.
// errorLog, when given, receives the child's stderr instead of /dev/null (a
// file, never a pipe: an unread pipe would stop the child once full); it is
// emptied first.
// pictureFd, when given, is handed to the child as descriptor
// kFrameChannelFd with kFrameFdVariable naming it (the player's picture
// channel); no other launch inherits that variable.
LaunchResult LaunchEngine(const std::string& commandLine, bool wait,
                          const std::function<void(int pid)>& onStarted = {},
                          const std::string& errorLog = {}, int pictureFd = -1);

}  // namespace orv
