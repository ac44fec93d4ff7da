// Starting the programs that the message box tests drive, and reading what they write, always
// against a deadline so that a box that waits when it should not fails the test instead of
// hanging it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mbtest {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Environment changes for a child: a value sets the variable, std::nullopt removes it.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

struct ChildOptions {
  std::vector<std::string> argv;
  EnvironmentChanges environment;
  // What the child gets as standard input: /dev/null when negative, otherwise this descriptor.
  int stdinFd = -1;
  // The child always starts a session of its own (so it has no controlling terminal, and what
  // it starts can be ended with its process group). When stdinFd is a terminal, this says
  // whether the child makes it its controlling terminal.
  bool controllingTerminal = true;
  // A terminal the child makes its controlling terminal without taking it as any of its
  // standard descriptors (ignored when negative).
  int controllingTerminalFd = -1;
  // Standard output and standard error are captured through pipes unless redirected here.
  int stdoutFd = -1;
  int stderrFd = -1;
  // The child's working directory; the test's own when empty.
  std::string workingDirectory;
  // Descriptors the child keeps open (besides 0, 1 and 2) under the same number.
  std::vector<int> keepFds;
};

class Child {
 public:
  explicit Child(const ChildOptions& options);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return m_pid; }
  bool started() const { return m_pid > 0; }

  // Reads what is available on standard output or standard error into the buffers below,
  // waiting at most `wait` for something to arrive.
  void Pump(milliseconds wait);

  // Pumps until `done` holds for (stdout, stderr) or the deadline passes; returns whether it
  // held.
  bool PumpUntil(const std::function<bool(const std::string&, const std::string&)>& done,
                 milliseconds timeout);

  // Waits for the child to end, pumping its output; returns its wait status, or nullopt (after
  // killing it) when it outlived the timeout.
  std::optional<int> Wait(milliseconds timeout);

  // Whether the child is still running (it is reaped when it is not).
  bool Running();

  // Ends the child's process group (or the child alone) with the signal and reaps the child.
  void Kill(int signal);

  const std::string& out() const { return m_out; }
  const std::string& err() const { return m_err; }

 private:
  pid_t m_pid = -1;
  int m_outFd = -1;
  int m_errFd = -1;
  std::optional<int> m_status;
  std::string m_out;
  std::string m_err;
};

// Runs a command to its end with stdin from /dev/null and returns (status, stdout, stderr);
// status is nullopt when it had to be killed at the timeout.
struct RunResult {
  std::optional<int> status;
  std::string out;
  std::string err;
};
RunResult RunToEnd(const ChildOptions& options, milliseconds timeout);

// The exit code of a wait status, or -1 when the process did not exit normally.
int ExitCode(const std::optional<int>& status);

// The environment for a box that must not reach a display or a terminal.
EnvironmentChanges WithoutDisplay();

// Lines of a text, split at "\n" with the "\r" before it dropped.
std::vector<std::string> Lines(const std::string& text);

// A fresh private directory under the system's temporary directory, removed with its content
// when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

}  // namespace mbtest
