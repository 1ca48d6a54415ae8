// The window layer's process-wide state, one named record per concern,
// gathered in one XfSystem. Only winsys/ sources include this header.
//
// The connection may be absent (display none): then the layer runs its
// logic without talking to X, which is how the tests that need no server
// drive it. xf_reset() throws the whole state away and starts afresh.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

#include "base/dynarray.h"
#include "winsys/classes.h"
#include "winsys/keyboard.h"
#include "winsys/msgqueue.h"
#include "winsys/resources.h"
#include "winsys/seams.h"
#include "winsys/timers.h"
#include "winsys/window_rec.h"

struct XfConnection {
  Display* display = nullptr;
  Window root = 0;
  int screen = 0;
  Colormap colormap = 0;
  Visual* visual = nullptr;
  int depth = 0;
  int width = 1024, height = 768;  // screen size in pixels
  int width_mm = 0, height_mm = 0;
};

struct XfAtoms {
  Atom wm_protocols = 0, wm_take_focus = 0, wm_delete_window = 0, motif_wm_hints = 0;
  Atom text = 0, incr = 0, ps_databuffer = 0, tc_selection = 0, tc_command = 0, tc_databuffer = 0;
  Atom clipboard = 0, targets = 0, utf8_string = 0;
  Atom zorvex_idle = 0, zorvex_sync = 0;
  Atom string = 31;  // XA_STRING
  Atom primary = 1;  // XA_PRIMARY
};

struct XfWindowPool {
  std::vector<XfWindow*> blocks;
  int32_t taken_in_block = kWindowBlock;  // a new block on the first allocation
  XfWindow* free_list = nullptr;
  int32_t live = 0;
  XfWindow* hash[kWindowBuckets] = {};
};

// What X initialisation learned about the server, and the switches that the
// start options set.
struct XfServer {
  bool init_done = false;
  int family = 0;
  int platform = 0;
  int visual_class = 0;  // 1 COLOR, 2 GRAY, 3 MONO; 0 not computed
  uint32_t debug_bits = 0;
  int positioning_mode = 4;  // 4: not chosen
  int keypad_translation = -1;
  bool raw_alt_keysyms = false;
  bool save_unders = false;
  bool backing_store = false;
  bool use_take_focus = false;
  uint32_t default_font_size = 120;  // tenths of a point
};

// The values derived from the resource strings.
struct XfResourceValues {
  unsigned long mdi_active = 0, mdi_client = 0, menu = 0, dialog = 0, textbox = 0, textbox2 = 0;
  unsigned long frame_bg = 0;
  long caret = -1;  // -1: the caret inverts
  uint32_t mdi_border = 5;
  uint32_t scrollbar_width = 18;
  uint32_t transfer_size = 262040;
  // The fonts opened from the resources (font records of the font layer).
  void* menu_font = nullptr;
  void* button_font = nullptr;
  void* label_font = nullptr;
  void* mdi_title_font = nullptr;
  void* mdi_icon_font = nullptr;
};

// 64-byte window-word blocks, cut from 4096-byte chunks that are never
// given back; free blocks are linked through their first word.
inline constexpr uint32_t kWordBlock = 64;
inline constexpr uint32_t kWordChunk = 4096;
struct XfWordPool {
  std::vector<uint8_t*> chunks;
  uint32_t taken = kWordChunk;  // bytes cut from the last chunk
  uint8_t* free_list = nullptr;
};

struct XfClasses {
  DynArray<XfClass*> registry{20};
  XfClass builtin[4] = {};
};

struct XfQueues {
  std::vector<XfMessage*> blocks;
  int32_t taken_in_block = kMessageBlock;
  XfMessage* free_list = nullptr;  // linked through the record's first word
  XfMsgQueue posted, paint, timer;
  XfIdleLog idle{};
  bool busy = true;         // something came in since the last idle mark
  uint32_t idle_marks = 0;  // turns the queues ran dry after that
  long sync_token = 0;      // the last token of a "_ZORVEX_SYNC" message
};

struct XfTranslate {
  uint32_t last_state = 0;
  uint32_t last_time = 0;
  Atom pending_target = 0;
  Atom pending_selection = 1;  // PRIMARY or CLIPBOARD
};

struct XfKeyboard {
  uint32_t alt_mask = 0;  // 0: not computed yet
  XfKeymapTable table{};
  bool sim_numlock = false;
  // Keycodes of the keysyms the key-down tests ask about, looked up once
  // (0 unknown, -1 none).
  int codes[16] = {};
  XModifierKeymap* modmap = nullptr;
};

struct XfFocus {
  XfWindow* active_frame = nullptr;
  XfWindow* focus = nullptr;
  XfWindow* under_pointer = nullptr;
  XfWindow* pointer_window = nullptr;
  XfWindow* last_focus_frame = nullptr;
  DynArray<XfWindow*> top_frames{20};
  XfWindow* stack[256] = {};
  int32_t depth = 0;
  bool app_active = false;
  XfWindow* app_frame = nullptr;
  long poll_last_color = -1;
  int32_t poll_repeat = 0;
  XfWindow* polled_frame = nullptr;
  bool sample_once = true;
  bool release_at_exit = false;
};

struct XfQueryState {
  XfWindow* capture = nullptr;
  Cursor pointer = 0;  // the current pointer
  void (*pick_hook)(void* arg, XfWindow* window) = nullptr;
  void* pick_arg = nullptr;
  XfWindow* pick_frame = nullptr;
  DynArray<Pixmap> pixmaps{256};
  DynArray<Cursor> cursors{256};
  Cursor slots[20] = {};  // system pointers by id
};

struct XfCaretShared {
  GC gc = nullptr;
  bool suspended = false;
  uint32_t draws = 0;  // caret draws and erases (for tests)
};

struct XfPeer {
  DynArray<uint32_t> list{20};
  bool own_selection = false;
};

struct XfSystem {
  XfConnection conn;
  XfAtoms atoms;
  XfClock clock;
  XfEventSource events;
  XfWindowPool windows;
  XfWordPool words;
  XfServer server;
  XfResources res{};
  XfResourceValues values;
  XfClasses classes;
  XfQueues queues;
  DynArray<XfTimer> timers{20};
  XfTranslate xlate;
  XfKeyboard keyboard;
  XfFocus focus;
  XfQueryState query;
  XfCaretShared caret;
  XfPeer peer;
  XfWindow* main_window = nullptr;
  char* app_name = nullptr;
  char* app_class = nullptr;
  GC scratch_gc = nullptr;
  // The drawing layer's state (fonts, colours, GCs, images), made on first
  // use; the destructor frees its client-side memory.
  struct XfGfx* gfx = nullptr;
  void (*free_gfx)(struct XfGfx*) = nullptr;
  // The clipboard's state (owned data, caches, transfers), made on first use.
  struct XfSelections* sel = nullptr;
  void (*free_sel)(struct XfSelections*) = nullptr;
  // The MDI layer's state (metrics, child list, tracking), made on first use.
  struct XfMdi* mdi = nullptr;
  void (*free_mdi)(struct XfMdi*) = nullptr;
  uint32_t beeps = 0;     // bell rings (counted also without a display)
  uint32_t x_errors = 0;  // protocol errors reported and survived

  XfSystem();
  ~XfSystem();
  XfSystem(const XfSystem&) = delete;
  XfSystem& operator=(const XfSystem&) = delete;
};

XfSystem& xf();
Display* xf_display();  // none without a connection

// Drops the whole state (windows, queues, timers, classes) and starts anew
// with no connection, the real clock and no event source. The display, if
// any, is not closed: its owner closes it.
void xf_reset();
// Replaces the clock / event source (tests install fakes).
void xf_set_clock(const XfClock& clock);
void xf_set_event_source(const XfEventSource& source);
