// Message boxes that the text engine asks the user through (its port,
// text/ui_port.h): the spill question and the question before a save
// replaces a file that changed on disk. Without a display every box answers
// "cancel".
#include <string>

#include "base/messages.h"
#include "text/ui_port.h"
#include "winsys/msgbox.h"

// The window layer's box with Retry and Cancel; without a display the answer
// is cancel.
bool ui_ask_spill_retry() {
  if (!xf_msgbox_can_show()) return false;
  std::string text(msg_text(ERR_SPILL_IO));
  return xfMessageBox(nullptr, text.c_str(), "Error", 0x2005, kMbCentre, kMbCentre) == kMbRetry;
}

// Yes and No, with the warning icon; without a display the answer is no and
// the file on disk stays.
bool ui_ask_save_changed_file(const char* name) {
  if (!xf_msgbox_can_show()) return false;
  std::string text(name);
  text += " has changed on disk since it was read. Save it anyway?";
  return xfMessageBox(nullptr, text.c_str(), "Zorvex", 0x2034, kMbCentre, kMbCentre) == kMbYes;
}
