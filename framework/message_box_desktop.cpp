#include "framework/message_box_desktop.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "text/codepage.h"
#include "text/utf.h"
#include "framework/executable_path.h"
#include "framework/message_box_dialog_module.h"

namespace {

// The module's entry points, once it is loaded and the display is open.
DialogShowFunction g_show = nullptr;

bool DisplayNamed() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// The module beside the running executable, at its fixed place; empty when the executable's
// own path cannot be read.
std::string ModulePath() {
  const std::string executable = ExecutablePath();
  const size_t slash = executable.rfind('/');
  if (slash == std::string::npos) return {};
  return executable.substr(0, slash + 1) + kDialogModuleRelativePath;
}

}  // namespace

bool OpenDesktopMessageBox() {
  if (g_show != nullptr) return true;
  if (!DisplayNamed()) return false;
  const std::string path = ModulePath();
  if (path.empty()) return false;

  // The toolkit reads the process's locale and starts threads of its own: the user's
  // character set is settled before it loads.
  textconv::LoadUserCodePage();
  // A missing module, or a module whose toolkit libraries are missing, fails here.
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return false;
  const auto open = reinterpret_cast<DialogOpenFunction>(::dlsym(module, kDialogOpenSymbol));
  const auto show = reinterpret_cast<DialogShowFunction>(::dlsym(module, kDialogShowSymbol));
  if (open == nullptr || show == nullptr) {
    ::dlclose(module);
    return false;
  }
  // Once the toolkit has started it stays loaded, open display or not: it leaves handlers and
  // threads of its own behind that an unloaded module would break.
  if (open() == 0) return false;
  g_show = show;
  return true;
}

void ShowDesktopMessageBox(std::u16string_view caption, std::u16string_view text,
                           MessageBoxIcon icon) {
  if (g_show == nullptr) return;
  g_show(textconv::Utf16ToUtf8(caption).c_str(), textconv::Utf16ToUtf8(text).c_str(), static_cast<int>(icon));
}
