// Times several commands side by side, their runs interleaved: round after round, each command
// runs once, the order turning by one place every round. A machine whose speed drifts while the
// benchmark runs (a busy neighbour, a frequency change) then slows every command alike, and the
// ratios between them stay true; timing one command's runs all before the next one's does not.
//
// Usage: side_by_side RUNS WARMUP -- NAME DIR COMMAND [ARGS...] [| COMMAND [ARGS...]] [-- ...]
//   Each command runs in folder DIR with no controlling terminal, standard input and error on
//   /dev/null and standard output on /dev/null; with "|", the first command's output goes to the
//   second (a shell pipeline without the shell: no shell start-up is timed). SIGPIPE has its
//   default action in every process, so a writer whose reader has gone ends as under a shell.
// Prints, per command, one line: NAME CPU_MEAN_MS CPU_MEDIAN_MS WALL_MEDIAN_MS WALL_MIN_MS, where
// CPU is user + system time of all its processes and wall runs from the first start to the last
// exit. Exit status 1 when a run fails (the last process of a command does not end with 0),
// 2 on a usage error.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <numeric>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Command {
  std::string name;
  std::string folder;
  std::vector<std::vector<std::string>> stages;  // one argument list per process
  std::vector<double> cpu;                       // milliseconds, one per timed run
  std::vector<double> wall;
};

double Milliseconds(const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; }

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Starts one process of a pipeline with `input` and `output` as its standard input and output.
// Pipes are made close-on-exec, so a process keeps no end but the ones it is given.
pid_t Start(const Command& command, const std::vector<std::string>& stage, int input, int output,
            int null) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, command.folder.c_str());
  posix_spawn_file_actions_adddup2(&actions, input, 0);
  posix_spawn_file_actions_adddup2(&actions, output, 1);
  posix_spawn_file_actions_adddup2(&actions, null, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  std::vector<char*> argv;
  for (const std::string& argument : stage) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    std::fprintf(stderr, "side_by_side: cannot start %s: %s\n", argv[0], std::strerror(rc));
    std::exit(1);
  }
  return pid;
}

// Runs a command once; false when its last process did not end with status 0.
bool RunOnce(const Command& command, int null, double& cpu, double& wall) {
  const double begin = Now();
  std::vector<pid_t> pids;
  int input = null;
  for (std::size_t i = 0; i < command.stages.size(); ++i) {
    int pipe_ends[2] = {-1, -1};
    const bool last = i + 1 == command.stages.size();
    if (!last && ::pipe2(pipe_ends, O_CLOEXEC) != 0) {
      std::perror("side_by_side: pipe");
      std::exit(1);
    }
    pids.push_back(Start(command, command.stages[i], input, last ? null : pipe_ends[1], null));
    if (input != null) ::close(input);
    if (!last) {
      ::close(pipe_ends[1]);
      input = pipe_ends[0];
    }
  }
  cpu = 0;
  int lastStatus = 0;
  for (pid_t pid : pids) {
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0) {
      if (errno != EINTR) {
        std::perror("side_by_side: wait4");
        std::exit(1);
      }
    }
    cpu += Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime);
    lastStatus = status;
  }
  wall = Now() - begin;
  return WIFEXITED(lastStatus) && WEXITSTATUS(lastStatus) == 0;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int Usage() {
  std::fprintf(stderr,
               "usage: side_by_side RUNS WARMUP -- NAME DIR COMMAND [ARGS...] [| COMMAND [ARGS...]] "
               "[-- NAME DIR ...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7 || std::strcmp(argv[3], "--") != 0) return Usage();
  const int runs = std::atoi(argv[1]);
  const int warmup = std::atoi(argv[2]);
  if (runs < 1 || warmup < 0) return Usage();

  std::vector<Command> commands;
  for (int i = 4; i < argc;) {
    if (i + 2 >= argc) return Usage();
    Command command{argv[i], argv[i + 1], {{}}, {}, {}};
    for (i += 2; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
      if (std::strcmp(argv[i], "|") == 0) {
        command.stages.emplace_back();
      } else {
        command.stages.back().emplace_back(argv[i]);
      }
    }
    if (i < argc) ++i;  // the "--" before the next command
    for (const auto& stage : command.stages) {
      if (stage.empty()) return Usage();
    }
    commands.push_back(std::move(command));
  }

  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null < 0) {
    std::perror("side_by_side: /dev/null");
    return 1;
  }
  const std::size_t n = commands.size();
  for (int round = 0; round < warmup + runs; ++round) {
    for (std::size_t k = 0; k < n; ++k) {
      Command& command = commands[(static_cast<std::size_t>(round) + k) % n];
      double cpu = 0;
      double wall = 0;
      if (!RunOnce(command, null, cpu, wall)) {
        std::fprintf(stderr, "side_by_side: %s failed\n", command.name.c_str());
        return 1;
      }
      if (round >= warmup) {
        command.cpu.push_back(cpu);
        command.wall.push_back(wall);
      }
    }
  }
  for (const Command& command : commands) {
    const double cpuMean = std::accumulate(command.cpu.begin(), command.cpu.end(), 0.0) / command.cpu.size();
    std::printf("%s %.3f %.3f %.3f %.3f\n", command.name.c_str(), cpuMean, Median(command.cpu),
                Median(command.wall), *std::min_element(command.wall.begin(), command.wall.end()));
  }
  return 0;
}
