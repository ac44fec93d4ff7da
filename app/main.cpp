#include "app/entry.h"
#include "text/codepage.h"

// Arguments and environment are not used: the program reads no input of any kind.
int main(int /*argc*/, char** /*argv*/, char** /*envp*/) {
  // Text is converted with the user's code page, the one part of the user's locale the run
  // uses, loaded when a text first needs it; the other categories are not loaded (numbers and
  // messages stay as in the C locale).
  textconv::UseUserCodePage();
  return RunProgram();
}
