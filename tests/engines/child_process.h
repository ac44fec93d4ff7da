// Child processes of the engine tests: servers, their set-up commands and the engines' own
// clients. A child runs as an unprivileged user when the tests run as root (database servers
// refuse root, or should not have it), and a server child dies with the test process.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace enginetest {

// The user that children run as when the tests run as root: "nobody", which exists on every
// Debian system and owns no files, so nothing of the machine's accounts changes. Unset when
// the tests do not run as root: children then keep the tests' own user.
struct ChildUser {
  bool drop = false;
  uid_t uid = 0;
  gid_t gid = 0;
};
ChildUser UnprivilegedUser();

// Gives `path` (a folder the tests made) to the children's user.
void HandOver(const std::string& path, const ChildUser& user);

struct ChildOptions {
  std::vector<std::string> argv;  // argv[0] is the program's path
  std::string input;              // file for standard input; /dev/null when empty
  std::string output;             // file for standard output and error; /dev/null when empty
  ChildUser user;
  int deathSignal = 0;            // sent to the child when the test process ends; 0 for none
};

// Starts the child; throws std::runtime_error when it cannot be started.
pid_t StartChild(const ChildOptions& options);

// Waits for a child to end and returns its exit status (128 + the signal for a signal).
int WaitChild(pid_t pid);

// True while the child runs; reaps it once it has ended.
bool ChildRunning(pid_t pid);

// Sends `signal`, waits up to `seconds` for the end, then kills the child.
void StopChild(pid_t pid, int signal, int seconds);

// Runs a command to its end: standard input from `input` (text), standard output and error
// together in the result.
struct CommandResult {
  int status = -1;
  std::string output;
};
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& input,
                         const std::string& scratchFolder, const ChildUser& user = {});

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

}  // namespace enginetest
