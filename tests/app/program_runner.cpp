#include "tests/app/program_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The parent's environment less the display variables and the variables set here.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& settings) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool dropped = name == "DISPLAY" || name == "WAYLAND_DISPLAY";
    for (const std::string& s : settings) dropped = dropped || s.substr(0, s.find('=')) == name;
    if (!dropped) env.push_back(entry);
  }
  env.insert(env.end(), settings.begin(), settings.end());
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProgramRun RunProgramWithFake(const std::string& program, const std::string& fakeLibraryDir,
                              const std::string& script,
                              const std::vector<std::string>& arguments, int timeoutSeconds) {
  std::string pattern = (fs::temp_directory_path() / "brand-listing-run-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  const fs::path folder = pattern;
  const fs::path scriptPath = folder / "script.txt";
  const fs::path logPath = folder / "calls.log";
  const fs::path outPath = folder / "stdout.txt";
  const fs::path errPath = folder / "stderr.txt";
  std::ofstream(scriptPath, std::ios::binary) << script;

  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env = ChildEnvironment({"LD_LIBRARY_PATH=" + fakeLibraryDir,
                                                   "FAKEODBC_SCRIPT=" + scriptPath.string(),
                                                   "FAKEODBC_LOG=" + logPath.string()});

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const std::string cwd = folder.string();
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

  // A session of its own: the program has no controlling terminal, so its boxes go to
  // standard error even when the tests run from a terminal.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

  pid_t pid = -1;
  std::vector<char*> argp = Pointers(argv);
  std::vector<char*> envp = Pointers(env);
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, &attributes, argp.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    fs::remove_all(folder);
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(spawned));
  }

  ProgramRun run;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int wstatus = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &wstatus, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &wstatus, 0);
      wstatus = -1;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (wstatus != -1 && WIFEXITED(wstatus)) {
    run.exited = true;
    run.status = WEXITSTATUS(wstatus);
  }
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  run.log = Lines(ReadFile(logPath));
  fs::remove_all(folder);
  return run;
}
