// Running a program to completion with controlled input, capturing its output.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace mkmdb_test {

struct ProgramResult {
  int exit_code = -1;    // when it exited
  int term_signal = 0;   // when a signal ended it
  std::string out;
  std::string err;
};

// Runs `argv` (argv[0] is a path) with DISPLAY and WAYLAND_DISPLAY removed from the environment,
// the locale C.UTF-8 (LC_ALL; LANG, LANGUAGE and LC_* removed) and standard input from
// `stdin_path` (/dev/null by default).
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::string& stdin_path = "/dev/null");

// A program started with its standard input on a pipe the test writes to, so that the test
// decides when the program can go on. Signals in `ignored` are ignored when it starts, as
// nohup or a shell's background job leave them.
class RunningProgram {
 public:
  explicit RunningProgram(const std::vector<std::string>& argv,
                          const std::vector<int>& ignored = {});
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return pid_ > 0; }
  void Write(const std::string& bytes);
  void CloseInput();
  void Signal(int signal_number);
  // Closes the input and waits for the end.
  ProgramResult Wait();

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  std::string out_path_;
  std::string err_path_;
};

// Whether `name` is a program found in /usr/bin.
bool HaveProgram(const std::string& name);

}  // namespace mkmdb_test
