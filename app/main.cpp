#include <clocale>

#include "app/entry.h"

// Arguments and environment are not used: the program reads no input of any kind.
int main(int /*argc*/, char** /*argv*/, char** /*envp*/) {
  // Text is converted with the user's code page, the one part of the user's locale the run
  // uses; the other categories are not loaded (numbers and messages stay as in the C locale).
  std::setlocale(LC_CTYPE, "");
  return RunProgram();
}
