#include <clocale>

#include "app/entry.h"

// Arguments and environment are not used: the program reads no input of any kind.
int main(int /*argc*/, char** /*argv*/, char** /*envp*/) {
  // Text is converted with the user's code page.
  std::setlocale(LC_ALL, "");
  return RunProgram();
}
