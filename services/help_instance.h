// The help instance: the window in which help requests for our own help
// files (any file that is neither a ".inf" book nor a ".ndx" index) are
// shown. It is one top-level frame holding a help viewer, made on the first
// request and kept while it is open; later requests reuse it, loading
// another file when they name one.
//
// Keys in the instance's viewer: Esc closes it (as does closing the frame),
// the cursor keys and PgUp/PgDn scroll, Tab and Shift+Tab move the link
// highlight, Enter follows the highlighted link, Ctrl+C copies. Closing
// gives the focus back to the window that had it when the help came up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/messages.h"

struct XfWindow;
struct HelpView;

inline constexpr const char* kHelpInstanceTitle = "Zorvex";
inline constexpr const char* kHelpInstanceClass = "zx_hthelp_inst";

// Where the instance's frame goes on a screen of w x h pixels: a margin of
// 2, 5 or 15 per cent of each side (screens below 641, below 801, else),
// twice that margin taken off the left and the top.
struct HelpPlace {
  int32_t x, y, cx, cy;
};
HelpPlace help_instance_place(int32_t screen_w, int32_t screen_h);

// Makes the instance's window once (loading the file into it) or, when it
// is open, loads the file into it unless it shows that file already.
// 1 on success, 0 when no window can be made (no display) or the file does
// not load; then *load_error (when given) holds the load's result
// (help_load_file), or 0 when no window could be made.
int32_t help_create_instance(const std::string& path, const char* title, ErrorCode* load_error = nullptr);
// What a help request asks of the instance; 0, or non-zero when the
// instance cannot answer (no instance, unknown keyword or topic number).
int32_t help_instance_keyword(std::string_view keyword);
int32_t help_instance_topic_number(int32_t number);  // 1 is the first topic
int32_t help_instance_contents();
int32_t help_instance_index();
int32_t help_instance_help();

// The instance's viewer and frame while it is open; null otherwise.
HelpView* help_instance_view();
XfWindow* help_instance_frame();
// Closes the instance (as Esc does).
void help_instance_close();
