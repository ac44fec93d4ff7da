#include "tests/program/listing_capture.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "app/entry.h"
#include "framework/trace.h"
#include "tests/db/support/trace_capture.h"
#include "tests/support/message_box_blocks.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr char kProbeTrace[] = "listing capture: do traces reach standard error?\n";

// Removes the traces, in the order they were written, from an output that may hold them.
std::string WithoutTraces(std::string output, const std::vector<TraceRecord>& traces) {
  std::size_t from = 0;
  for (const TraceRecord& trace : traces) {
    if (trace.text.empty()) continue;
    const std::size_t at = output.find(trace.text, from);
    if (at == std::string::npos) continue;
    output.erase(at, trace.text.size());
    from = at;
  }
  return output;
}

}  // namespace

void PrintTo(const Shown& shown, std::ostream* os) {
  static const char* const kKinds[] = {"box", "line", "other"};
  *os << kKinds[shown.kind] << "{\"" << shown.text << "\"";
  if (shown.kind == Shown::Box) *os << ", caption \"" << shown.caption << "\", icon " << shown.icon;
  *os << "}";
}

Shown BoxShowing(const std::string& text, const std::string& caption) {
  return Shown{Shown::Box, text, caption, "warning"};
}

Shown LineShowing(const std::string& text) { return Shown{Shown::Line, text, {}, {}}; }
Shown OtherLine(const std::string& line) { return Shown{Shown::Other, line, {}, {}}; }

std::vector<Shown> Presented(const std::vector<std::string>& values, const std::string& caption) {
  std::vector<Shown> shown;
  for (const std::string& value : values) {
    shown.push_back(BoxShowing(value, caption));
    shown.push_back(LineShowing(value));
  }
  return shown;
}

std::vector<Shown> ParseShown(const std::string& output) {
  const testsupport::BlockOutput read = testsupport::ReadBlockOutput(output);
  std::vector<Shown> shown;
  for (const testsupport::OutputItem& item : read.items) {
    if (item.box) {
      shown.push_back(Shown{Shown::Box, item.box->Text(), item.box->caption, item.box->icon});
    } else if (item.line.starts_with("-- ")) {
      shown.push_back(LineShowing(item.line.substr(3)));
    } else {
      shown.push_back(OtherLine(item.line));
    }
  }
  if (!read.malformed.empty()) shown.push_back(OtherLine("malformed block: " + read.malformed));
  return shown;
}

std::string OwnExecutablePath() { return std::filesystem::canonical("/proc/self/exe").string(); }

void PresentBoxesOnStandardError() {
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  // A controlling terminal would get the boxes: give it up when the tests run from one.
  const int terminal = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal >= 0) {
    ::ioctl(terminal, TIOCNOTTY);
    ::close(terminal);
  }
  const int devnull = ::open("/dev/null", O_RDONLY);
  if (devnull < 0) throw std::runtime_error("cannot open /dev/null");
  ::dup2(devnull, STDIN_FILENO);
  ::close(devnull);
}

ListingRun CaptureRun(const std::function<int()>& run) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::FILE* capture = std::tmpfile();
  if (capture == nullptr) throw std::runtime_error("cannot create the capture file");
  const int fd = ::fileno(capture);
  const int savedOut = ::dup(STDOUT_FILENO);
  const int savedErr = ::dup(STDERR_FILENO);
  ::dup2(fd, STDOUT_FILENO);
  ::dup2(fd, STDERR_FILENO);

  ListingRun result;
  std::vector<TraceRecord> traces;
  {
    TraceCapture capturedTraces;
    // A build that copies traces to standard error shows this one first.
    TraceDatabase(kProbeTrace);
    result.status = run();
    traces = capturedTraces.Records();
  }

  std::fflush(stdout);
  std::fflush(stderr);
  ::dup2(savedOut, STDOUT_FILENO);
  ::dup2(savedErr, STDERR_FILENO);
  ::close(savedOut);
  ::close(savedErr);
  // The capture has no name: it is read anew, from its start, through this process's link to it.
  result.output = testsupport::ReadFile("/proc/self/fd/" + std::to_string(fd));
  if (result.output.starts_with(kProbeTrace)) result.output = WithoutTraces(result.output, traces);
  std::fclose(capture);
  result.shown = ParseShown(result.output);
  return result;
}

ListingRun RunListingInProcess() { return CaptureRun(RunProgram); }
