// XfWindow: the window record, the window handle everywhere.
//
// Every window of the layer, from the application frame to a button face,
// is one record. Records come from a pool of 500-record blocks that are
// never given back; a freed record goes on a last-in first-out free list and
// is handed out again zeroed, so no stale id, colour or caret state survives
// into the next window. While a record lives it is in the X-id hash under its
// X window id (4096 buckets, move to front on a hit) and in its tree parent's
// child list, which mirrors the X stacking order: the first child is the
// topmost.
//
// Everything the classic layout keeps in 32-bit words that holds an address
// is a pointer here; coordinates and flags keep their widths.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

struct XfWindow;
struct XfClass;

// A window procedure and a hook: (window, message, mp1, mp2) -> result.
using XfProc = intptr_t (*)(XfWindow* window, uint32_t message, intptr_t mp1, intptr_t mp2);

enum XfKind : uint32_t {
  XFTYPE_ANY = 0,
  XFTYPE_STDFRAME = 1,
  XFTYPE_CLIENTAREA = 2,
  XFTYPE_FRAMEINNER = 3,  // a standard frame's inner window
  XFTYPE_MENUBAR = 4,
  XFTYPE_VSB = 5,
  XFTYPE_HSB = 6,
  XFTYPE_SUBMENU = 10,
  XFTYPE_POPUPMENU = 11,
  XFTYPE_POPUPSUBMENU = 12,
  XFTYPE_MENUITEMSP = 13,
  XFTYPE_MENUITEMCASCADE = 14,
  XFTYPE_MENUITEMPB = 15,
  XFTYPE_MENUITEMRB = 16,
  XFTYPE_GROUPBOX = 20,
  XFTYPE_CTLFRAME = 21,
  XFTYPE_3STATEBUTTON = 22,
  XFTYPE_PUSHBUTTON = 23,
  XFTYPE_RADIOBUTTON = 24,
  XFTYPE_MDITOPFRAME = 34,
  XFTYPE_MDISYSMENU = 35,
  XFTYPE_MDIMINBUTTON = 36,
  XFTYPE_MDIMAXBUTTON = 37,
  XFTYPE_MDIFRAMETITLE = 38,
  XFTYPE_MDICLIENTAREA = 39,
  XFTYPE_MDITOPFORM = 40,
  XFTYPE_MDIMINFRAME = 41,
  XFTYPE_MDIMINLABEL = 42,
  XFTYPE_MDIMINICON = 43,
  XFTYPE_MDICLIENT = 44,
  XFTYPE_MESSAGEBOX = 45,
};

// The name of a kind for diagnostics ("XFTYPE_UNKNOWN" for other codes).
const char* xf_kind_name(uint32_t kind);

// The pending paint area, inclusive bounds; meaningful while valid.
struct XfUpdateRegion {
  bool valid;
  int32_t top, bottom, left, right;
};

struct XfCaret {
  int32_t width, height, x, y;
  int32_t hide;  // -1 no caret; 0 shown; above 0 hidden that many times
  bool drawn;
  uint32_t timer;  // blink timer id, 0 when none
  Pixmap save;     // the pixels under the caret
  bool saved;
  int32_t save_width, save_height;
  unsigned long xor_mask;  // the exclusive-or colour it was drawn with
};

// Kind-specific words, one layout per kind.
struct XfFrameWords {  // XFTYPE_STDFRAME
  XfWindow* inner;
  XfWindow* menubar;
  XfWindow* hsb;
  XfWindow* vsb;
  XfWindow* client;
  int32_t origin_x, origin_y;  // stored frame origin
  int32_t mdi_mark;
  XfWindow* mdi_client;
  XfWindow* focus_child;  // remembered focus child (none: the client)
  bool outer_of_ctlframe;
  XfWindow* ctlframe;  // the control frame this outer frame holds
  bool fixed_size;
  int32_t pos_mode;
  int32_t deco_left, deco_top;  // our window inside the manager's frame
  Window wm_frame;
  int32_t wm_x, wm_y, wm_width, wm_height, wm_border;
  Window wm_stop;  // the manager's frame found last time
  void* sysmenu;   // its system menu (an XfMenu), frame_sysmenu.h; null none
};

struct XfCtlFrameWords {  // XFTYPE_CTLFRAME
  XfWindow* hsb;
  XfWindow* vsb;
  XfWindow* client;
  XfWindow* outer;  // the top-level frame around it, when it has one
};

struct XfButtonWords {  // the three button kinds and group boxes
  int32_t check;
  bool pressed;
  int32_t extra;
  char mnemonic;
  bool has_focus;
};

struct XfMenuBarWords {  // XFTYPE_MENUBAR
  void* menu;
  XfWindow* owner;
};

struct XfScrollWords {  // XFTYPE_VSB, XFTYPE_HSB
  int32_t pos, min, max, page;
  int32_t thumb_x, thumb_y, thumb_width, thumb_height;
  char pressed;  // '-' none, 'l', 'r', 't'
};

struct XfMdiChildWords {  // XFTYPE_MDITOPFRAME
  XfWindow* outer;
  XfWindow* top_form;
  XfWindow* sysmenu;
  XfWindow* min_button;
  XfWindow* max_button;
  XfWindow* title;
  XfWindow* vsb;
  XfWindow* hsb;
  XfWindow* client;
  int32_t state;
  XfWindow* icon_holder;
  XfWindow* icon_image;
  XfWindow* icon_label;
  uint32_t menu_id;
  int32_t first_minimise;
  void* icon_picture;
};

struct XfMdiClientWords {  // XFTYPE_MDICLIENT
  XfWindow* active;
  void* window_menu;
  XfWindow* maximised;
};

union XfKindWords {
  XfFrameWords frame;
  XfCtlFrameWords ctl;
  XfButtonWords button;
  XfMenuBarWords menubar;
  XfScrollWords scroll;
  XfMdiChildWords mdi;
  XfMdiClientWords mdiclient;
  intptr_t raw[28];
};

struct XfWindow {
  uint32_t kind;
  Window xwin;
  XfWindow* parent;  // logical parent (a frame part's parent is its frame)
  XfWindow* owner;
  XfClass* cls;
  int32_t x, y, width, height;  // relative to the X parent; frames: root
  int32_t restore_x, restore_y, restore_width, restore_height;
  XfProc hook;
  XfProc proc;
  uint32_t style;
  intptr_t user;
  uint8_t* words;  // window-word block, zeroed when made
  uint32_t words_size;
  uint32_t id;
  bool own_ps;
  void* ps;               // its own presentation space (drawing layer)
  void* draw_state;       // its own drawing state (drawing layer)
  XfWindow* tree_parent;  // the record whose X window is our X parent
  XfWindow* prev_sibling;
  XfWindow* next_sibling;
  XfWindow* first_child;  // topmost
  int32_t child_count;
  XfWindow* hash_next;  // bucket chain; the free list while free
  XfUpdateRegion update;
  XfCaret caret;
  void* font;
  bool enabled;
  int32_t shown;                      // 1 shown, 2 hidden
  unsigned long fg;                   // shade 1: text
  unsigned long bg;                   // face
  unsigned long light, dark, medium;  // shades 2, 3, 4
  char* text;                         // NUL-terminated, owned
  int32_t text_capacity;
  Cursor pointer;
  bool live;      // between init and free (for checks)
  bool toplevel;  // its X window is a child of the root
  bool dying;     // its destruction has begun
  XfKindWords k;
};

// ----- pool, hash and tree (process-wide, in xfsys) -----

inline constexpr int kWindowBlock = 500;
inline constexpr int kWindowBuckets = 4096;

// A record: the free list's head, else the next of the current block, else
// the first of a new block. Always zeroed.
XfWindow* xfAllocWindowRecord();
// The same; kept for the callers that name it.
XfWindow* xfNewWindowRecord();
// Back on the free list. The record must already be out of the hash and tree.
void xfFreeWindowRecord(XfWindow* w);
// Sets the fields a new record starts with, hashes it by `xid` and links it
// as the topmost child of `parent` (when given).
void xfInitWindowRecord(XfWindow* w, uint32_t kind, Window xid, XfWindow* parent, XfWindow* owner, int32_t x, int32_t y,
                        int32_t width, int32_t height);

XfWindow* xfFindWindow(Window xid);
void xfHashInsert(XfWindow* w);
void xfHashRemove(XfWindow* w);

void xfLinkChildFirst(XfWindow* parent, XfWindow* w);
void xfUnlinkChild(XfWindow* w);
void xfMoveToFront(XfWindow* w);
void xfMoveToBack(XfWindow* w);
void xfMoveAfterSibling(XfWindow* w, XfWindow* above);

// Destroys the X windows of a record tree and frees the records, children
// first. The window layer's own clean-up runs before this.
void xfDestroyXWindowTree(XfWindow* w);

// Calls fn for every live record.
void xf_for_each_window(void (*fn)(XfWindow* w, void* ctx), void* ctx);

// Live records (for leak checks in tests).
int32_t xf_live_window_count();

// Whether `w` points at a live record of the pool. Used where a window
// handle arrives from outside the layer and may be stale.
bool xf_is_live_window(const XfWindow* w);
