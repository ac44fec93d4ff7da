#include "program_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {

namespace {

namespace fs = std::filesystem;

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool IsReplacedVariable(const std::string& name) {
  return name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "LANG" ||
         name == "LANGUAGE" || name.rfind("LC_", 0) == 0 || name == "ODBCSYSINI" ||
         name == "ODBCINI" || name == "ODBCINSTINI";
}

std::vector<std::string> ChildEnvironment(const std::string& locale) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (!IsReplacedVariable(entry.substr(0, entry.find('=')))) env.push_back(entry);
  }
  env.push_back(std::string("ODBCSYSINI=") + ODBC_SYSINI_DIR);
  env.push_back("LANG=" + locale);
  env.push_back("LC_ALL=" + locale);
  return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

// A private folder for the captured output, removed with the object.
class CaptureFolder {
 public:
  CaptureFolder() {
    std::string pattern = (fs::temp_directory_path() / "brand-listing-output-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~CaptureFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  CaptureFolder(const CaptureFolder&) = delete;
  CaptureFolder& operator=(const CaptureFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

}  // namespace

std::string BrandListingPath() { return fs::canonical(BRAND_LISTING_PROGRAM).string(); }

ProgramRun RunProcess(const ProgramLaunch& launch) {
  if (launch.argv.empty()) throw std::invalid_argument("nothing to run");
  CaptureFolder capture;
  const std::string outPath = (capture.path() / "out").string();
  const std::string errPath = (capture.path() / "err").string();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0600);
  if (launch.mergeOutput) {
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0600);
  }
  posix_spawn_file_actions_addchdir_np(&actions, launch.workingDirectory.c_str());

  std::vector<std::string> argv = launch.argv;
  std::vector<std::string> env = ChildEnvironment(launch.locale);
  std::vector<char*> argp = Pointers(argv);
  std::vector<char*> envp = Pointers(env);
  // A session of its own: without a controlling terminal the program's boxes go to standard
  // error even when the tests run from a terminal.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, argv[0].c_str(), &actions, &attributes, argp.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawned));
  }

  ProgramRun run;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(launch.timeoutSeconds);
  int wstatus = 0;
  bool killed = false;
  while (::waitpid(pid, &wstatus, WNOHANG) != pid) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &wstatus, 0);
      killed = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (!killed && WIFEXITED(wstatus)) {
    run.exited = true;
    run.status = WEXITSTATUS(wstatus);
  }
  run.out = ReadWholeFile(outPath);
  if (!launch.mergeOutput) run.err = ReadWholeFile(errPath);
  return run;
}

ProgramRun RunBrandListing(const std::string& workingDirectory, const std::string& locale) {
  ProgramLaunch launch;
  launch.argv = {BrandListingPath()};
  launch.workingDirectory = workingDirectory;
  launch.locale = locale;
  return RunProcess(launch);
}

}  // namespace e2e
