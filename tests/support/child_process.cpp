#include "tests/support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testsupport {

namespace {

// The step of the child's start that failed, as the child reports it before exec.
enum class StartStep : int { Terminal, Folder, User, Parent, Exec };

struct StartFailure { StartStep step; int error; };

std::vector<std::string> BuildEnvironment(const EnvironmentChanges& changes) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    // A variable the changes name, or one a "PREFIX*" change covers, goes.
    const bool removed = std::any_of(changes.begin(), changes.end(), [&name](const auto& change) {
      const std::string& key = change.first;
      return key == name || (key.ends_with('*') && name.starts_with(key.substr(0, key.size() - 1)));
    });
    if (!removed) env.push_back(entry);
  }
  for (const auto& [name, value] : changes) {
    if (value && !name.empty() && !name.ends_with('*')) env.push_back(name + "=" + *value);
  }
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

void MakePipe(int ends[2]) {
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
  }
}

// A pipe to or from the child: this process's end goes into `ours`, the child's is returned.
int ChildEnd(int& ours, bool childReads) {
  int ends[2];
  MakePipe(ends);
  ours = ends[childReads ? 1 : 0];
  return ends[childReads ? 0 : 1];
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

int Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) continue;
  return status;
}

std::string Describe(StartStep step, const ChildOptions& options) {
  switch (step) {
    case StartStep::Terminal: return "cannot take its controlling terminal";
    case StartStep::Folder: return "cannot enter " + options.workingFolder;
    case StartStep::User: return "cannot become user " + std::to_string(options.user.uid);
    case StartStep::Parent: return "the process that started it has ended";
    case StartStep::Exec: break;
  }
  return "cannot run it";
}

// Tells the parent which step of the start failed, and why, and ends the child.
[[noreturn]] void FailStart(int report, StartStep step) {
  const StartFailure failure{step, errno};
  [[maybe_unused]] const ssize_t n = ::write(report, &failure, sizeof failure);
  ::_exit(127);
}

// Everything between fork and exec: only system calls, as the test process may have threads.
[[noreturn]] void StartInChild(const ChildOptions& options, int in, int out, int err,
                               int controlling, int report, pid_t parent, char* const* argv,
                               char* const* envp) {
  auto fail = [report](StartStep step) { FailStart(report, step); };
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  for (int s = 1; s < NSIG; ++s) ::sigaction(s, &action, nullptr);
  action.sa_handler = SIG_IGN;
  for (int s : options.ignoredSignals) ::sigaction(s, &action, nullptr);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);

  ::setsid();
  if (controlling >= 0 && ::ioctl(controlling, TIOCSCTTY, 0) != 0) fail(StartStep::Terminal);
  ::dup2(in, STDIN_FILENO);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(options.mergeErrors ? STDOUT_FILENO : err, STDERR_FILENO);
  // Every descriptor but the standard ones and the report (closed by exec) is closed.
  if (report > 3) ::close_range(3u, static_cast<unsigned>(report - 1), 0);
  ::close_range(static_cast<unsigned>(std::max(3, report + 1)), ~0u, 0);

  if (!options.workingFolder.empty() && ::chdir(options.workingFolder.c_str()) != 0) {
    fail(StartStep::Folder);
  }
  if (options.user.drop && (::setgroups(0, nullptr) != 0 || ::setgid(options.user.gid) != 0 ||
                            ::setuid(options.user.uid) != 0)) {
    fail(StartStep::User);
  }
  // Set after the change of user, which would clear it.
  if (options.deathSignal != 0) ::prctl(PR_SET_PDEATHSIG, options.deathSignal);
  if (options.deathSignal != 0 && ::getppid() != parent) {
    errno = 0;
    fail(StartStep::Parent);
  }
  ::execvpe(argv[0], argv, envp);
  FailStart(report, StartStep::Exec);
}

}  // namespace

std::string ChildResult::How() const {
  if (timedOut) return "killed at its deadline";
  if (exited) return "exit " + std::to_string(exitCode);
  if (signal != 0) return "signal " + std::to_string(signal);
  return "did not start";
}

ChildUser UnprivilegedUser() {
  if (::geteuid() != 0) return {};
  const passwd* entry = ::getpwnam("nobody");
  if (entry == nullptr) throw std::runtime_error("no user 'nobody' to run children as");
  return {true, entry->pw_uid, entry->pw_gid};
}

Child::Child(const ChildOptions& given) : m_keepInputOpen(given.inputOpen) {
  if (given.argv.empty()) throw std::invalid_argument("no program to start");
  ChildOptions options = given;
  int terminalSlave = -1;
  if (options.terminal != TerminalRole::None) {
    winsize size{options.terminalRows, options.terminalColumns, 0, 0};
    if (::openpty(&m_terminalFd, &terminalSlave, nullptr, nullptr, &size) != 0) {
      throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    }
    ::fcntl(m_terminalFd, F_SETFD, FD_CLOEXEC);
    if (options.terminal != TerminalRole::ControllingOnly) options.inputFd = terminalSlave;
  }
  const int controlling = options.terminal == TerminalRole::InputOnly ? -1 : terminalSlave;
  std::vector<std::string> env = BuildEnvironment(options.environment);
  std::vector<char*> argPointers = Pointers(options.argv);
  std::vector<char*> envPointers = Pointers(env);

  // Descriptors on the child's side; those made here are closed here once it has them.
  int in = options.inputFd;
  int out = options.outputFd;
  int err = options.errorFd;
  std::vector<int> made;
  if (in < 0) {
    if (options.inputOpen || !options.input.empty()) {
      in = ChildEnd(m_inFd, true);
      m_pending = options.input;
    } else if ((in = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) < 0) {
      throw std::runtime_error("cannot open /dev/null");
    }
    made.push_back(in);
  }
  if (out < 0) made.push_back(out = ChildEnd(m_outFd, false));
  if (err < 0 && !options.mergeErrors) made.push_back(err = ChildEnd(m_errFd, false));
  int report[2];
  MakePipe(report);
  made.push_back(report[1]);

  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    StartInChild(options, in, out, err, controlling, report[1], parent, argPointers.data(),
                 envPointers.data());
  }
  const int forkError = errno;
  for (int fd : made) ::close(fd);
  if (terminalSlave >= 0) ::close(terminalSlave);

  StartFailure failure{};
  ssize_t got = -1;
  while (pid > 0 && (got = ::read(report[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  if (pid < 0 || got == static_cast<ssize_t>(sizeof failure)) {
    if (pid > 0) Reap(pid);
    const std::string why = pid < 0 ? "fork failed" : Describe(failure.step, options);
    const int error = pid < 0 ? forkError : failure.error;
    m_err = "cannot start " + options.argv[0] + ": " + why +
            (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) + "\n";
    for (int* fd : {&m_inFd, &m_outFd, &m_errFd, &m_terminalFd}) CloseFd(*fd);
    return;
  }
  m_pid = pid;
  for (int fd : {m_inFd, m_outFd, m_errFd}) {
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  if (m_pending.empty() && !m_keepInputOpen) CloseInput();
}

Child::~Child() {
  if (m_pid > 0) {
    // Whatever the child started in its group goes with it.
    ::kill(-m_pid, SIGKILL);
    if (!m_status) {
      ::kill(m_pid, SIGKILL);
      Reap(m_pid);
    }
  }
  for (int* fd : {&m_inFd, &m_outFd, &m_errFd, &m_terminalFd}) CloseFd(*fd);
}

void Child::WriteInput() {
  // A child that no longer reads would make the write raise SIGPIPE in this process: the
  // signal is held back in this thread and dropped.
  sigset_t pipeSignal, previous;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
  while (m_inFd >= 0 && !m_pending.empty()) {
    const ssize_t n = ::write(m_inFd, m_pending.data(), m_pending.size());
    if (n > 0) {
      m_pending.erase(0, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) break;
    if (errno == EPIPE) {
      const timespec now{};
      sigtimedwait(&pipeSignal, nullptr, &now);
    }
    m_pending.clear();
    CloseFd(m_inFd);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (m_pending.empty() && !m_keepInputOpen) CloseInput();
}

void Child::Pump(milliseconds wait) {
  struct Stream {
    int* fd;
    std::string* sink;  // null: the child's input
  };
  Stream streams[3];
  pollfd fds[3];
  nfds_t count = 0;
  for (Stream s : {Stream{&m_inFd, nullptr}, Stream{&m_outFd, &m_out}, Stream{&m_errFd, &m_err}}) {
    if (*s.fd < 0 || (s.sink == nullptr && m_pending.empty())) continue;
    fds[count] = {*s.fd, static_cast<short>(s.sink != nullptr ? POLLIN : POLLOUT), 0};
    streams[count++] = s;
  }
  if (count == 0) {
    std::this_thread::sleep_for(wait);
    return;
  }
  if (::poll(fds, count, static_cast<int>(wait.count())) <= 0) return;
  for (nfds_t i = 0; i < count; ++i) {
    if (fds[i].revents == 0) continue;
    if (streams[i].sink == nullptr) {
      WriteInput();
      continue;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[i].fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
      if (n > 0) streams[i].sink->append(buffer, static_cast<size_t>(n));
    }
    if (n == 0 || errno != EAGAIN) CloseFd(*streams[i].fd);
  }
}

bool Child::PumpUntil(const std::function<bool(const std::string&, const std::string&)>& done,
                      milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (done(m_out, m_err)) return true;
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    Pump(std::min(left, milliseconds(50)));
  }
}

void Child::Write(const std::string& bytes) {
  if (m_inFd < 0) return;
  m_pending += bytes;
  WriteInput();
  while (m_inFd >= 0 && !m_pending.empty() && Running()) Pump(milliseconds(20));
}

void Child::CloseInput() {
  m_keepInputOpen = false;
  m_pending.clear();
  CloseFd(m_inFd);
}

bool Child::Running() {
  if (m_pid <= 0 || m_status) return false;
  int status = 0;
  if (::waitpid(m_pid, &status, WNOHANG) != m_pid) return true;
  m_status = status;
  return false;
}

void Child::Signal(int signal, bool wholeGroup) {
  if (m_pid <= 0 || m_status) return;
  if (!wholeGroup || ::kill(-m_pid, signal) != 0) ::kill(m_pid, signal);
}

ChildResult Child::Wait(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  m_keepInputOpen = false;
  if (m_pending.empty()) CloseInput();
  while (Running()) {
    if (Clock::now() >= deadline) {
      ::kill(-m_pid, SIGKILL);
      ::kill(m_pid, SIGKILL);
      m_status = Reap(m_pid);
      m_timedOut = true;
      break;
    }
    Pump(milliseconds(20));
  }
  CloseInput();
  // Collect what is still in the pipes; a descendant that kept them open does not hold the
  // test for long.
  const auto drainDeadline = Clock::now() + milliseconds(2000);
  while ((m_outFd >= 0 || m_errFd >= 0) && Clock::now() < drainDeadline) Pump(milliseconds(20));
  return Result();
}

ChildResult Child::Result() const {
  ChildResult result;
  result.out = m_out;
  result.err = m_err;
  result.timedOut = m_timedOut;
  if (!m_status || m_timedOut) return result;
  result.exited = WIFEXITED(*m_status);
  if (result.exited) result.exitCode = WEXITSTATUS(*m_status);
  if (WIFSIGNALED(*m_status)) result.signal = WTERMSIG(*m_status);
  return result;
}

ChildResult RunChild(const ChildOptions& options, milliseconds deadline) {
  return Child(options).Wait(deadline);
}

}  // namespace testsupport
