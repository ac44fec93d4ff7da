// Runs the brand listing and reads back what it presented: the message boxes (written as
// blocks on standard error when there is neither a display nor a terminal) and the lines on
// standard output, in the order they appeared.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// One thing a run presented.
struct Shown {
  enum Kind { Box, Line, Other };
  Kind kind = Other;
  // Box: its text lines joined by "\n"; Line: what follows "-- "; Other: the whole line.
  std::string text;
  std::string caption;  // Box only
  std::string icon;     // Box only

  bool operator==(const Shown&) const = default;
};
void PrintTo(const Shown& shown, std::ostream* os);

Shown BoxShowing(const std::string& text, const std::string& caption);
Shown LineShowing(const std::string& text);
Shown OtherLine(const std::string& line);

// Each value in its box with `caption`, then on its line: how a run presents what it read.
std::vector<Shown> Presented(const std::vector<std::string>& values, const std::string& caption);

// Splits the output of a run into boxes, listing lines and other lines. A box block that breaks
// the format ends the list with an Other line that says what is wrong.
std::vector<Shown> ParseShown(const std::string& output);

// The caption every box of this process carries: the full path of its executable.
std::string OwnExecutablePath();

// Makes the message box of this process write its block to standard error: no display
// variables, standard input from /dev/null. Call before the first box of the process.
void PresentBoxesOnStandardError();

struct ListingRun {
  int status = -1;
  std::string output;  // standard output and standard error together, in order of writing
  std::vector<Shown> shown;
};

// Runs `run` in this process, with standard output and standard error captured into one file;
// its result is the run's status. Traces a debug build copies to standard error are left out
// of the output.
ListingRun CaptureRun(const std::function<int()>& run);

// Runs the whole program in this process against the scripted driver manager as it is
// configured now, captured as above.
ListingRun RunListingInProcess();
