// Starting the programs that the tests drive, feeding their standard input and reading what they
// write, always against a deadline: a child that hangs fails its test instead of holding it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Changes to the caller's environment for a child: a value sets the variable, std::nullopt
// removes it. A name ending in '*' removes every variable whose name starts with the rest
// ("LC_*").
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

// The user a child runs as. `drop` unset: the caller's own.
struct ChildUser {
  bool drop = false;
  uid_t uid = 0;
  gid_t gid = 0;
};

// When the tests run as root: "nobody", which every Debian system has and which owns no files.
// Otherwise no change of user. Throws when root has no such user.
ChildUser UnprivilegedUser();

// What a new pseudo-terminal is to a child that gets one.
enum class TerminalRole {
  None,                 // no terminal
  ControllingAndInput,  // a run from a terminal
  InputOnly,            // a terminal on standard input that is not the controlling one
  ControllingOnly,      // a run from a terminal with standard input from elsewhere
};

struct ChildOptions {
  std::vector<std::string> argv;  // argv[0]: a path, or a program looked for in PATH
  EnvironmentChanges environment;
  std::string workingFolder;  // the caller's when empty

  // Standard input: /dev/null, unless `input` is given or `inputOpen` is set, when it is a pipe
  // that the child reads `input` from; the pipe closes once that is written, or with
  // CloseInput() when `inputOpen` keeps it open for Write(). `inputFd`, when not negative,
  // is handed over instead.
  std::string input;
  bool inputOpen = false;
  int inputFd = -1;

  // Every child starts a session of its own (what it starts ends with its process group),
  // without a controlling terminal unless `terminal` gives it a new pseudo-terminal of this size
  // (0 columns: the width is unknown), whose other side is Child::terminal().
  TerminalRole terminal = TerminalRole::None;
  unsigned short terminalColumns = 80;
  unsigned short terminalRows = 24;

  // Standard output and standard error are captured unless handed these descriptors; with
  // `mergeErrors`, standard error goes wherever standard output goes.
  int outputFd = -1;
  int errorFd = -1;
  bool mergeErrors = false;

  // Signals ignored when the child starts, as nohup or a shell's background job leave them;
  // every other signal starts at its default and unblocked.
  std::vector<int> ignoredSignals;
  ChildUser user;
  // Sent to the child when the thread that started it ends (the test process died); 0: none.
  int deathSignal = 0;
};

// How a child ended and what it wrote.
struct ChildResult {
  bool exited = false;    // ended by exit
  int exitCode = -1;      // its exit status, when exited
  int signal = 0;         // the signal that ended it, when one did
  bool timedOut = false;  // killed because it outlived its deadline
  std::string out;        // standard output, when captured
  std::string err;        // standard error, when captured; why it did not start, when it did not

  // "exit 3", "signal 9", "killed at its deadline" or "did not start".
  std::string How() const;
};

class Child {
 public:
  // Starts the child. One that cannot start (no such program, no such working folder) leaves
  // started() false and says why in err().
  explicit Child(const ChildOptions& options);
  // Kills the child's process group, if the child still runs, and reaps the child.
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return m_pid; }
  bool started() const { return m_pid > 0; }

  // Moves pending input to the child and what it wrote into out() and err(), waiting at most
  // `wait` for either to be possible.
  void Pump(milliseconds wait);
  // Pumps until `done` holds for (out, err) or `timeout` passes; returns whether it held.
  bool PumpUntil(const std::function<bool(const std::string&, const std::string&)>& done,
                 milliseconds timeout);

  // Hands `bytes` to the child's standard input (with `inputOpen`), pumping until they are
  // written or the child no longer reads.
  void Write(const std::string& bytes);
  void CloseInput();

  // Whether the child is still running; it is reaped when it is not.
  bool Running();
  // Sends `signal` to the child, or to its whole process group.
  void Signal(int signal, bool wholeGroup = false);
  // Closes the child's input once what is pending is written and waits for the end, pumping;
  // a child still running after `timeout` has its process group killed and is reported as
  // timed out. What its descendants keep writing is read for two seconds more at the most.
  ChildResult Wait(milliseconds timeout);

  const std::string& out() const { return m_out; }
  const std::string& err() const { return m_err; }
  // The other side of the child's pseudo-terminal: what is typed goes in, what is drawn comes
  // out. -1 without one.
  int terminal() const { return m_terminalFd; }

 private:
  void WriteInput();
  ChildResult Result() const;

  pid_t m_pid = -1;
  int m_inFd = -1;
  int m_outFd = -1;
  int m_errFd = -1;
  int m_terminalFd = -1;
  bool m_keepInputOpen = false;
  bool m_timedOut = false;
  std::string m_pending;  // input not written yet
  std::optional<int> m_status;
  std::string m_out;
  std::string m_err;
};

// Runs a child to its end, or kills it at `deadline`.
ChildResult RunChild(const ChildOptions& options, milliseconds deadline);

}  // namespace testsupport
