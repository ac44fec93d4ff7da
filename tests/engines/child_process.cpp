#include "tests/engines/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace enginetest {

namespace {

int StatusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

// Between fork and exec only system calls: the test process may have threads.
[[noreturn]] void ExecChild(const ChildOptions& options, char* const* argv, pid_t parent) {
  const int in = ::open(options.input.empty() ? "/dev/null" : options.input.c_str(), O_RDONLY);
  const int out = ::open(options.output.empty() ? "/dev/null" : options.output.c_str(),
                         O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (in < 0 || out < 0) ::_exit(126);
  ::dup2(in, STDIN_FILENO);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(out, STDERR_FILENO);
  // Its own process group: a terminal's interrupt reaches the tests, which stop it in order.
  ::setpgid(0, 0);
  if (options.user.drop) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(options.user.gid) != 0 ||
        ::setuid(options.user.uid) != 0) {
      ::_exit(126);
    }
  }
  // Set after the change of user, which would clear it.
  if (options.deathSignal != 0) {
    ::prctl(PR_SET_PDEATHSIG, options.deathSignal);
    if (::getppid() != parent) ::_exit(126);  // the tests ended already
  }
  ::execv(argv[0], argv);
  ::_exit(127);
}

}  // namespace

ChildUser UnprivilegedUser() {
  ChildUser user;
  if (::geteuid() != 0) return user;
  const passwd* entry = ::getpwnam("nobody");
  if (entry == nullptr) throw std::runtime_error("no user 'nobody' to run the servers as");
  user.drop = true;
  user.uid = entry->pw_uid;
  user.gid = entry->pw_gid;
  return user;
}

void HandOver(const std::string& path, const ChildUser& user) {
  if (!user.drop) return;
  if (::chown(path.c_str(), user.uid, user.gid) != 0) {
    throw std::runtime_error("cannot give " + path + " to the servers' user: " +
                             std::strerror(errno));
  }
}

pid_t StartChild(const ChildOptions& options) {
  if (options.argv.empty()) throw std::invalid_argument("no program to start");
  std::vector<char*> argv;
  for (const std::string& arg : options.argv) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) ExecChild(options, argv.data(), parent);
  return pid;
}

int WaitChild(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return StatusOf(status);
}

bool ChildRunning(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, WNOHANG) == 0;
}

void StopChild(pid_t pid, int signal, int seconds) {
  if (pid <= 0) return;
  ::kill(pid, signal);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended == pid || (ended < 0 && errno == ECHILD)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid, SIGKILL);
  WaitChild(pid);
}

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input,
                         const std::string& scratchFolder, const ChildUser& user) {
  static int serial = 0;
  const std::string stem = scratchFolder + "/command-" + std::to_string(++serial);
  ChildOptions options;
  options.argv = argv;
  options.input = stem + ".in";
  options.output = stem + ".out";
  options.user = user;
  WriteFile(options.input, input);
  WriteFile(options.output, "");
  HandOver(options.output, user);

  CommandResult result;
  result.status = WaitChild(StartChild(options));
  result.output = ReadFile(options.output);
  std::filesystem::remove(options.input);
  std::filesystem::remove(options.output);
  return result;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace enginetest
