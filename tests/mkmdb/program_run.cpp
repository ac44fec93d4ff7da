#include "program_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

extern char** environ;

namespace mkmdb_test {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The caller's environment without a display and with a UTF-8 code page, whatever the caller's
// locale: names and values beyond ASCII pass through the programs' command lines and output
// (mdb-export refuses to convert them in the C locale).
std::vector<std::string> CleanEnvironment() {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry = *e;
    if (entry.starts_with("DISPLAY=") || entry.starts_with("WAYLAND_DISPLAY=") ||
        entry.starts_with("LANG=") || entry.starts_with("LANGUAGE=") || entry.starts_with("LC_")) {
      continue;
    }
    env.emplace_back(entry);
  }
  env.emplace_back("LC_ALL=C.UTF-8");
  return env;
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& stdin_path) {
  char out_path[] = "/tmp/mkmdb-test-out-XXXXXX";
  char err_path[] = "/tmp/mkmdb-test-err-XXXXXX";
  int out_fd = mkstemp(out_path);
  int err_fd = mkstemp(err_path);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, stdin_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
  posix_spawn_file_actions_adddup2(&actions, err_fd, 2);

  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env = CleanEnvironment();
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  ProgramResult result;
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), envp.data()) == 0) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.term_signal = WTERMSIG(status);
  } else {
    result.err = "cannot start " + argv[0];
  }
  posix_spawn_file_actions_destroy(&actions);
  close(out_fd);
  close(err_fd);
  result.out = Slurp(out_path);
  result.err += Slurp(err_path);
  unlink(out_path);
  unlink(err_path);
  return result;
}

bool HaveProgram(const std::string& name) {
  return access(("/usr/bin/" + name).c_str(), X_OK) == 0;
}

}  // namespace mkmdb_test
