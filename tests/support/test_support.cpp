#include "tests/support/test_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>

namespace orv::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "orvtest-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = fs::canonical(tmpl).string() + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

Installation InstallEngine(const std::string& folder, const std::string& binary) {
  std::string target = folder + kEngineFileName;
  fs::copy_file(binary, target, fs::copy_options::overwrite_existing);
  fs::permissions(target, fs::perms::owner_all);
  Installation inst;
  inst.programFolder = folder;
  inst.engineFolder = folder;
  return inst;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) {
    if (status) *status = -1;
    return out;
  }
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = ::pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

namespace {
std::mutex gShellMutex;  // the batch run calls in from its own thread
}

void ScriptedShell::Message(const std::string& text, const std::string&) {
  std::lock_guard lock(gShellMutex);
  messages.push_back(text);
}

bool ScriptedShell::AskOkCancel(const std::string& text, const std::string&) {
  std::lock_guard lock(gShellMutex);
  questions.push_back(text);
  if (answers.empty()) return false;
  bool a = answers.front();
  answers.pop_front();
  return a;
}

std::vector<std::string> ScriptedShell::OpenFiles(const FileDialogOptions& options) {
  dialogs.push_back(options);
  if (openFiles.empty()) return {};
  auto f = openFiles.front();
  openFiles.pop_front();
  return f;
}

std::string ScriptedShell::SaveFile(const FileDialogOptions& options) {
  dialogs.push_back(options);
  if (saveFiles.empty()) return {};
  auto f = saveFiles.front();
  saveFiles.pop_front();
  return f;
}

bool ScriptedShell::ChooseColour(unsigned* rgb) {
  if (colours.empty()) return false;
  *rgb = colours.front();
  colours.pop_front();
  return true;
}

bool ScriptedShell::ChooseFont(std::string* face) {
  if (fonts.empty()) return false;
  *face = fonts.front();
  fonts.pop_front();
  return true;
}

bool ScriptedShell::InputText(const std::string&, const std::string&, std::string* text) {
  if (inputs.empty()) return false;
  *text = inputs.front();
  inputs.pop_front();
  return true;
}

std::string ScriptedShell::ChooseFolder(const std::string&, const std::string&) {
  if (folders.empty()) return {};
  auto f = folders.front();
  folders.pop_front();
  return f;
}

void ScriptedShell::OpenUrl(const std::string& url) { urls.push_back(url); }

void ScriptedShell::PowerOff() {
  std::lock_guard lock(gShellMutex);
  ++powerOffRequests;
}

}  // namespace orv::test
