// The help instance (see help_instance.h).
#include "services/help_instance.h"

#include <array>

#include "services/help_ini.h"
#include "services/help_view.h"
#include "services/help_view_win.h"
#include "winsys/focus.h"
#include "winsys/message_numbers.h"
#include "winsys/paint.h"
#include "winsys/winapi.h"
#include "winsys/window.h"
#include "winsys/window_rec.h"
#include "winsys/xfsys.h"

namespace {

struct Instance {
  XfWindow* frame = nullptr;
  XfWindow* client = nullptr;
  unsigned long return_to = 0;  // the X window whose layer window had the focus
};
Instance g;

// The instance's keys and the viewer command each runs.
struct KeyCommand {
  unsigned long keysym;
  bool control;
  const char* command;
};
// columns: keysym, Ctrl held, viewer command
constexpr std::array<KeyCommand, 14> kKeys = {{
    {0xFF52, false, "scrollup"},     // Up
    {0xFF54, false, "scrolldown"},   // Down
    {0xFF51, false, "scrollleft"},   // Left
    {0xFF53, false, "scrollright"},  // Right
    {0xFF55, false, "pageup"},       // PgUp
    {0xFF56, false, "pagedown"},     // PgDn
    {0xFF50, true, "top"},           // Ctrl+Home
    {0xFF57, true, "bottom"},        // Ctrl+End
    {0xFF50, false, "top"},          // Home
    {0xFF57, false, "bottom"},       // End
    {0xFF0D, false, "gotoht"},       // Enter
    {0xFF8D, false, "gotoht"},       // keypad Enter
    {'c', true, "copy"},             // Ctrl+C
    {'C', true, "copy"},
}};
constexpr unsigned long kKeyEscape = 0xFF1B, kKeyTab = 0xFF09, kKeyBackTab = 0xFE20;
constexpr uint32_t kShiftMask = 1, kControlMask = 4;
constexpr int32_t kSysScreenWidth = 2052, kSysScreenHeight = 2053;  // system values

void forget() { g.frame = g.client = nullptr; }

// Gives the focus back to the window that had it, when that window lives.
void return_focus() {
  const unsigned long xid = g.return_to;
  g.return_to = 0;
  if (!xid) return;
  XfWindow* w = xfFindWindow(xid);
  if (w && xf_is_live_window(w)) xfSetFocus(w);
}

bool run_key(HelpView& v, intptr_t mp1) {
  const unsigned long key = xf_key_keysym(mp1);
  const uint32_t state = xf_key_state(mp1);
  if (key == kKeyTab || key == kKeyBackTab) {
    help_command(v, (key == kKeyBackTab || (state & kShiftMask)) ? "prevht" : "nextht", {});
    return true;
  }
  const bool control = (state & kControlMask) != 0;
  for (const KeyCommand& k : kKeys)
    if (k.keysym == key && k.control == control) {
      help_command(v, k.command, {});
      return true;
    }
  return false;
}

intptr_t instance_proc(XfWindow* w, uint32_t message, intptr_t mp1, intptr_t mp2) {
  switch (message) {
    case ZWM_CHAR:
      if (xf_key_keysym(mp1) == kKeyEscape) {
        help_instance_close();
        return 0;
      }
      if (HelpView* v = help_window_view(w); v && run_key(*v, mp1)) {
        xfUpdateWindow(w);
        return 0;
      }
      return 0;  // other keys are not the editor's business here
    case ZWM_CLOSE:
      help_instance_close();
      return 0;
    case ZWM_DESTROY:
      if (w == g.client) forget();
      break;
    default:
      break;
  }
  return help_viewer_proc(w, message, mp1, mp2);
}

void register_class() {
  help_register_class();
  XfClass* cls = nullptr;
  if (xfFindClass(kHelpInstanceClass, &cls) != 0)
    WinRegisterSubclass(kHelpViewClass, kHelpInstanceClass, instance_proc, 0, static_cast<int32_t>(0x80010000u));
}

}  // namespace

HelpPlace help_instance_place(int32_t sw, int32_t sh) {
  const int32_t p = sw < 641 ? 2 : sw < 801 ? 5 : 15;
  const int32_t mx = p * sw / 100, my = p * sh / 100;
  return {2 * mx, 2 * my, sw - 2 * mx, sh - 2 * my};
}

HelpView* help_instance_view() { return g.client ? help_window_view(g.client) : nullptr; }
XfWindow* help_instance_frame() { return g.frame; }

int32_t help_create_instance(const std::string& path, const char* title, ErrorCode* load_error) {
  ErrorCode ignored = 0;
  ErrorCode& load = load_error ? *load_error : ignored;
  load = 0;
  if (HelpView* v = help_instance_view()) {
    if (v->file.name != path && (load = help_view_load(*v, path)) != 0) return 0;
    xfSetFocus(g.client);
    return 1;
  }
  if (!xf_display()) return 0;
  register_class();
  const HelpPlace at = help_instance_place(WinQuerySysValue(kSysScreenWidth), WinQuerySysValue(kSysScreenHeight));
  XfWindow* client = nullptr;
  XfWindow* frame = help_create_window(nullptr, title, at.x, at.y, at.cx, at.cy, &client, kHelpInstanceClass);
  if (!frame || !client) return 0;
  HelpView* v = help_window_view(client);
  if (!v || (load = help_view_load(*v, path)) != 0) {
    xfDestroyWindow(frame);
    return 0;
  }
  XfWindow* had = xfQueryFocus();
  g.return_to = had ? had->xwin : 0;
  g.frame = frame;
  g.client = client;
  xfShowFrameAndWait(frame);
  xfSetFocus(client);
  return 1;
}

int32_t help_instance_keyword(std::string_view keyword) {
  HelpView* v = help_instance_view();
  if (!v) return 1;
  return help_goto_keyword(*v, keyword, nullptr) == 0 ? 0 : 1;
}

int32_t help_instance_topic_number(int32_t number) {
  HelpView* v = help_instance_view();
  if (!v || number < 1 || static_cast<size_t>(number) > v->file.topics.size()) return 1;
  return help_show_topic(*v, number - 1, 0) == 0 ? 0 : 1;
}

int32_t help_instance_contents() {
  HelpView* v = help_instance_view();
  return v && help_contents(*v) == 0 ? 0 : 1;
}

// Our help files have no index of their own: the contents stand for it.
int32_t help_instance_index() { return help_instance_contents(); }

// Help on help: the place of the keyword "help", or the contents.
int32_t help_instance_help() {
  HelpView* v = help_instance_view();
  if (!v) return 1;
  if (help_goto_keyword(*v, "help", nullptr) == 0) return 0;
  return help_contents(*v) == 0 ? 0 : 1;
}

void help_instance_close() {
  XfWindow* frame = g.frame;
  if (!frame) return;
  forget();
  xfDestroyWindow(frame);
  return_focus();
}
