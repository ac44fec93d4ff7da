// The desktop dialog module (GTK 3): built as a module of its own and loaded by the message box
// only when a display is named, so that a run without one never loads the toolkit.
#include <gtk/gtk.h>

#include <type_traits>

#include "framework/message_box_dialog_module.h"
#include "framework/message_box_text.h"

namespace {

const char* IconName(MessageBoxIcon icon) {
  switch (icon) {
    case MessageBoxIcon::Error:
      return "dialog-error";
    case MessageBoxIcon::Question:
      return "dialog-question";
    case MessageBoxIcon::Information:
      return "dialog-information";
    case MessageBoxIcon::Warning:
      break;
  }
  return "dialog-warning";
}

GtkMessageType MessageType(MessageBoxIcon icon) {
  switch (icon) {
    case MessageBoxIcon::Error:
      return GTK_MESSAGE_ERROR;
    case MessageBoxIcon::Question:
      return GTK_MESSAGE_QUESTION;
    case MessageBoxIcon::Information:
      return GTK_MESSAGE_INFO;
    case MessageBoxIcon::Warning:
      break;
  }
  return GTK_MESSAGE_WARNING;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int brand_listing_dialog_open() {
  // The program's texts are converted in its own locale; the toolkit must not replace it.
  gtk_disable_setlocale();
  return gtk_init_check(nullptr, nullptr) ? 1 : 0;
}

extern "C" __attribute__((visibility("default"))) void brand_listing_dialog_show(
    const char* title, const char* text, int iconCode) {
  const auto icon = static_cast<MessageBoxIcon>(iconCode);
  GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, MessageType(icon),
                                             GTK_BUTTONS_OK, "%s", text);
  gtk_window_set_title(GTK_WINDOW(dialog), title);
  // Message dialogs no longer draw their type's icon by themselves; the box shows it.
  GtkWidget* image = gtk_image_new_from_icon_name(IconName(icon), GTK_ICON_SIZE_DIALOG);
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  gtk_message_dialog_set_image(GTK_MESSAGE_DIALOG(dialog), image);
  G_GNUC_END_IGNORE_DEPRECATIONS
  gtk_widget_show(image);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);

  // Runs a nested main loop until a button, Enter, Escape or the window manager's close ends it.
  gtk_dialog_run(GTK_DIALOG(dialog));

  // Destroying the widget only queues the window's removal; let the main loop and the display
  // connection finish it, so that no window of the program is left once the box returns.
  gtk_widget_destroy(dialog);
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  gdk_display_sync(gdk_display_get_default());
}

// The exported functions must keep the types the loader casts them to.
static_assert(std::is_same_v<decltype(&brand_listing_dialog_open), DialogOpenFunction>);
static_assert(std::is_same_v<decltype(&brand_listing_dialog_show), DialogShowFunction>);
