#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace mbtest {

namespace {

std::vector<std::string> BuildEnvironment(const EnvironmentChanges& changes) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    if (changes.count(name) == 0) env.push_back(entry);
  }
  for (const auto& [name, value] : changes) {
    if (value) env.push_back(name + "=" + *value);
  }
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

void MakePipe(int fds[2]) {
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
}

}  // namespace

Child::Child(const ChildOptions& options) {
  std::vector<std::string> args = options.argv;
  std::vector<std::string> env = BuildEnvironment(options.environment);
  std::vector<char*> argPointers = Pointers(args);
  std::vector<char*> envPointers = Pointers(env);

  int outPipe[2] = {-1, -1};
  int errPipe[2] = {-1, -1};
  if (options.stdoutFd < 0) MakePipe(outPipe);
  if (options.stderrFd < 0) MakePipe(errPipe);
  const long openMax = std::min<long>(::sysconf(_SC_OPEN_MAX), 65536);

  m_pid = ::fork();
  if (m_pid == 0) {
    // A session of its own: no controlling terminal unless one is handed over below, and a
    // process group that the test can end as a whole.
    ::setsid();
    int in = options.stdinFd >= 0 ? options.stdinFd : ::open("/dev/null", O_RDONLY);
    if (options.stdinFd >= 0 && options.controllingTerminal && ::isatty(in)) {
      ::ioctl(in, TIOCSCTTY, 0);
    } else if (options.controllingTerminalFd >= 0) {
      ::ioctl(options.controllingTerminalFd, TIOCSCTTY, 0);
    }
    ::dup2(in, STDIN_FILENO);
    ::dup2(options.stdoutFd >= 0 ? options.stdoutFd : outPipe[1], STDOUT_FILENO);
    ::dup2(options.stderrFd >= 0 ? options.stderrFd : errPipe[1], STDERR_FILENO);
    for (long fd = 3; fd < openMax; ++fd) {
      if (std::find(options.keepFds.begin(), options.keepFds.end(), fd) == options.keepFds.end()) {
        ::close(static_cast<int>(fd));
      } else {
        ::fcntl(static_cast<int>(fd), F_SETFD, 0);
      }
    }
    if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0) {
      ::_exit(126);
    }
    ::execvpe(argPointers[0], argPointers.data(), envPointers.data());
    const char message[] = "child_process: exec failed\n";
    (void)!::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(127);
  }
  if (outPipe[1] >= 0) ::close(outPipe[1]);
  if (errPipe[1] >= 0) ::close(errPipe[1]);
  m_outFd = outPipe[0];
  m_errFd = errPipe[0];
  if (m_pid < 0) {
    if (m_outFd >= 0) ::close(m_outFd);
    if (m_errFd >= 0) ::close(m_errFd);
    m_outFd = m_errFd = -1;
    return;
  }
  for (int fd : {m_outFd, m_errFd}) {
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
}

Child::~Child() {
  if (m_pid > 0) {
    // Whatever the child started in its group goes with it.
    ::kill(-m_pid, SIGKILL);
    if (!m_status) {
      int status = 0;
      while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  if (m_outFd >= 0) ::close(m_outFd);
  if (m_errFd >= 0) ::close(m_errFd);
}

void Child::Pump(milliseconds wait) {
  pollfd fds[2];
  std::string* sinks[2];
  int* owners[2];
  nfds_t count = 0;
  if (m_outFd >= 0) {
    fds[count] = {m_outFd, POLLIN, 0};
    sinks[count] = &m_out;
    owners[count++] = &m_outFd;
  }
  if (m_errFd >= 0) {
    fds[count] = {m_errFd, POLLIN, 0};
    sinks[count] = &m_err;
    owners[count++] = &m_errFd;
  }
  if (count == 0) {
    std::this_thread::sleep_for(wait);
    return;
  }
  if (::poll(fds, count, static_cast<int>(wait.count())) <= 0) return;
  for (nfds_t i = 0; i < count; ++i) {
    if (fds[i].revents == 0) continue;
    char buffer[4096];
    for (;;) {
      ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || errno != EAGAIN) {
        ::close(*owners[i]);
        *owners[i] = -1;
      }
      break;
    }
  }
}

bool Child::PumpUntil(const std::function<bool(const std::string&, const std::string&)>& done,
                      milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (done(m_out, m_err)) return true;
    auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    Pump(std::min(left, milliseconds(50)));
  }
}

bool Child::Running() {
  if (m_pid <= 0 || m_status) return false;
  int status = 0;
  pid_t r = ::waitpid(m_pid, &status, WNOHANG);
  if (r == m_pid) {
    m_status = status;
    return false;
  }
  return true;
}

std::optional<int> Child::Wait(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Running()) {
    if (Clock::now() >= deadline) {
      Kill(SIGKILL);
      return std::nullopt;
    }
    Pump(milliseconds(20));
  }
  // Collect what is still in the pipes; a descendant that kept them open does not hold the
  // test for long.
  const auto drainDeadline = Clock::now() + milliseconds(2000);
  while ((m_outFd >= 0 || m_errFd >= 0) && Clock::now() < drainDeadline) Pump(milliseconds(20));
  return m_status;
}

void Child::Kill(int signal) {
  if (m_pid <= 0 || m_status) return;
  if (::kill(-m_pid, signal) != 0) ::kill(m_pid, signal);
  const auto deadline = Clock::now() + milliseconds(5000);
  while (Running()) {
    if (Clock::now() >= deadline) {
      ::kill(-m_pid, SIGKILL);
      ::kill(m_pid, SIGKILL);
      int status = 0;
      ::waitpid(m_pid, &status, 0);
      m_status = status;
      return;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
}

RunResult RunToEnd(const ChildOptions& options, milliseconds timeout) {
  Child child(options);
  RunResult result;
  if (!child.started()) return result;
  result.status = child.Wait(timeout);
  result.out = child.out();
  result.err = child.err();
  return result;
}

int ExitCode(const std::optional<int>& status) {
  if (!status || !WIFEXITED(*status)) return -1;
  return WEXITSTATUS(*status);
}

EnvironmentChanges WithoutDisplay() {
  return {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/mbox-test-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

}  // namespace mbtest
