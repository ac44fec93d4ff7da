// Shows message boxes the way the program does, for the tests to drive.
//
//   message_box_probe [OPTION | TEXT]...
//
// Each TEXT (UTF-8) is shown with ShowMessageBox(text, style, 0); after the call returns the
// probe writes "box <n> returned <code>" on standard output and flushes it. Options, taken in
// order with the texts:
//   --style=N        style for the boxes that follow (decimal or 0x hex; 0 at the start)
//   --by-id=N        shows ShowMessageBoxById(N, style, 0) as one box
//   --caption        writes "caption <MessageBoxCaption() in UTF-8>" on standard output
//   --leak-a-block   allocates a block and drops it, for checking that leak checkers see it
//   --pause-ms=N     waits N milliseconds before going on (keys typed meanwhile come before
//                    the next box)
// The probe takes the locale of its environment, as the program does.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "text/utf.h"
#include "framework/message_box.h"

namespace {

UINT ParseNumber(const char* text) {
  return static_cast<UINT>(std::strtoul(text, nullptr, 0));
}

// Kept in a global so that the optimiser cannot drop the allocation.
void* volatile g_droppedBlock = nullptr;

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  UINT style = 0;
  int shown = 0;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg.starts_with("--style=")) {
      style = ParseNumber(argv[i] + 8);
    } else if (arg == "--caption") {
      std::printf("caption %s\n", textconv::Utf16ToUtf8(MessageBoxCaption()).c_str());
    } else if (arg == "--leak-a-block") {
      g_droppedBlock = std::malloc(4096);
      std::memset(g_droppedBlock, 1, 4096);
      g_droppedBlock = nullptr;
    } else if (arg.starts_with("--pause-ms=")) {
      ::usleep(static_cast<useconds_t>(ParseNumber(argv[i] + 11)) * 1000);
    } else {
      const int code = arg.starts_with("--by-id=")
                           ? ShowMessageBoxById(ParseNumber(argv[i] + 8), style, 0)
                           : ShowMessageBox(textconv::Utf8ToUtf16(arg), style, 0);
      std::printf("box %d returned %d\n", ++shown, code);
    }
    std::fflush(stdout);
  }
  return 0;
}
