#include "program_run.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
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

std::string TempOutput(const char* what) {
  std::string path = std::string("/tmp/mkmdb-test-") + what + "-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd >= 0) close(fd);
  return path;
}

// Starts `argv` with standard input from `stdin_fd` and the outputs into the two files.
pid_t Spawn(const std::vector<std::string>& argv, int stdin_fd, const std::string& out_path,
            const std::string& err_path, const std::vector<int>& ignored) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, stdin_fd, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_TRUNC, 0);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_TRUNC, 0);
  // The child starts with every signal at its default but the ignored ones, whatever this
  // process does with them.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigfillset(&defaults);
  for (int s : ignored) sigdelset(&defaults, s);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::vector<struct sigaction> previous(ignored.size());
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  for (std::size_t i = 0; i < ignored.size(); ++i) sigaction(ignored[i], &ignore, &previous[i]);

  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env = CleanEnvironment();
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0].c_str(), &actions, &attributes, args.data(), envp.data()) != 0) {
    pid = -1;
  }
  for (std::size_t i = 0; i < ignored.size(); ++i) sigaction(ignored[i], &previous[i], nullptr);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

void Collect(pid_t pid, ProgramResult& result) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.term_signal = WTERMSIG(status);
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& stdin_path) {
  const std::string out_path = TempOutput("out");
  const std::string err_path = TempOutput("err");
  ProgramResult result;
  const int input = open(stdin_path.c_str(), O_RDONLY | O_CLOEXEC);
  const pid_t pid = input < 0 ? -1 : Spawn(argv, input, out_path, err_path, {});
  if (input >= 0) close(input);
  if (pid > 0) {
    Collect(pid, result);
  } else {
    result.err = "cannot start " + argv[0] + " with input " + stdin_path + "\n";
  }
  result.out = Slurp(out_path);
  result.err += Slurp(err_path);
  unlink(out_path.c_str());
  unlink(err_path.c_str());
  return result;
}

RunningProgram::RunningProgram(const std::vector<std::string>& argv,
                               const std::vector<int>& ignored)
    : out_path_(TempOutput("out")), err_path_(TempOutput("err")) {
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) return;
  pid_ = Spawn(argv, pipe_ends[0], out_path_, err_path_, ignored);
  close(pipe_ends[0]);
  input_ = pipe_ends[1];
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    Wait();
  }
  CloseInput();
  unlink(out_path_.c_str());
  unlink(err_path_.c_str());
}

void RunningProgram::Write(const std::string& bytes) {
  // A program that has already ended would make the write raise SIGPIPE in this process: the
  // signal is held back and dropped instead.
  sigset_t pipe_signal, previous;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
  std::size_t done = 0;
  while (input_ >= 0 && done < bytes.size()) {
    const ssize_t n = write(input_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (errno == EPIPE) {
        const timespec now{};
        sigtimedwait(&pipe_signal, nullptr, &now);
      }
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void RunningProgram::CloseInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

void RunningProgram::Signal(int signal_number) {
  if (pid_ > 0) kill(pid_, signal_number);
}

ProgramResult RunningProgram::Wait() {
  ProgramResult result;
  CloseInput();
  if (pid_ <= 0) {
    result.err = "the program did not start\n";
    return result;
  }
  Collect(pid_, result);
  pid_ = -1;
  result.out = Slurp(out_path_);
  result.err = Slurp(err_path_);
  return result;
}

bool HaveProgram(const std::string& name) {
  return access(("/usr/bin/" + name).c_str(), X_OK) == 0;
}

}  // namespace mkmdb_test
