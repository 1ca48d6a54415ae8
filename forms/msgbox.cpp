// Message boxes: the macros' (see msgbox.h), and those the text engine asks
// the user through (its port, text/ui_port.h): the spill question and the
// question before a save replaces a file that changed on disk. Without a
// display every box answers "cancel".
#include "forms/msgbox.h"

#include <string>

#include "base/lstr.h"
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

namespace {
constexpr int32_t kMaxNestedBoxes = 4;
int32_t g_open_boxes = 0;
}  // namespace

uint32_t msgbox_style(int32_t style) {
  auto s = static_cast<uint32_t>(style);
  if ((s & 0xF0) == 0)
    s |= 0x30;
  else if ((s & 0xF0) == 0xF0)
    s &= ~0xF0u;
  if ((s & 0x3000) == 0)
    s |= 0x2000;
  else if ((s & 0x3000) == 0x3000)
    s &= ~0x3000u;
  return s;
}

int32_t app_message_box_styled(std::string_view text, std::string_view title, int32_t style) {
  if (!xf_msgbox_can_show() || g_open_boxes >= kMaxNestedBoxes) return kMbCancel;
  const std::string t(text.substr(0, LSTR_CAP_LINE)), caption(title.substr(0, LSTR_CAP_LINE));
  ++g_open_boxes;
  const int32_t answer = xfMessageBox(nullptr, t.c_str(), caption.c_str(), msgbox_style(style), kMbCentre, kMbCentre);
  --g_open_boxes;
  return answer;
}
