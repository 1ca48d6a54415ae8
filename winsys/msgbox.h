// The window layer's own modal message box: an icon, a text wrapped at 60
// columns and one to three push buttons in a fixed-size frame, run by a
// loop of its own until the user answers.
//
// The style's low four bits choose the button set (kMsgBoxSets), the next
// four the icon. While the box runs every other top-level frame is
// disabled; key and button input goes to the box, everything else is
// dispatched as usual. Start reading at xfMessageBox.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "winsys/window_rec.h"

// Results.
inline constexpr int kMbOk = 1, kMbCancel = 2, kMbAbort = 3, kMbRetry = 4, kMbIgnore = 5, kMbYes = 6, kMbNo = 7;
// Centre the box on the screen (as x or y).
inline constexpr int32_t kMbCentre = 0x7FFFFFFD;
inline constexpr int kWrapColumns = 60;
inline constexpr int kWrapMaxLines = 1000;

// One button set: labels and ids of up to three buttons, what Escape (and a
// close request) answers (0: nothing), and the letters that answer.
struct XfMsgBoxSet {
  int count;
  const char* labels[3];
  int ids[3];
  int escape;
  const char* letters;  // lower-case, one per answer in `letter_ids`
  int letter_ids[3];
};
// The set of a style (style & 0x0F).
const XfMsgBoxSet& xf_msgbox_set(uint32_t style);

// The text cut into lines of at most 60 characters at spaces, CR, LF and
// CR LF (a longer word stands alone, whole), joined by "\n"; at most 1000
// lines. Never longer than the text. Answers the number of lines.
int xfWrapMessageText(std::string_view text, std::string* out);

// Where things go in a box, from the text's and the icon's sizes.
struct XfMsgBoxLayout {
  int32_t width, height;  // of the frame's client
  int32_t text_x, text_y, icon_x, icon_y;
  int32_t button_width, button_height, button_y;
  int32_t button_x[3];
};
XfMsgBoxLayout xf_msgbox_layout(int32_t text_width, int32_t text_height, int32_t icon_width, int32_t icon_height,
                                int32_t cancel_width, int32_t font_height);

// Shows the box and answers the id of the user's answer (kMb*), or the mp1
// of a ZWM_COMMAND that reached any window while it ran. Owner 0 or 1: the
// main window. x, y on the screen, or kMbCentre.
int xfMessageBox(XfWindow* owner, const char* text, const char* title, uint32_t style, int32_t x, int32_t y);

// Whether a box can be shown (the layer has its X connection).
bool xf_msgbox_can_show();
