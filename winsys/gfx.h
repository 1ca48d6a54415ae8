// The drawing layer's process-wide state, one record per concern, kept in
// the window system's XfSystem (so xf_reset() starts it afresh).
//
// Server resources (fonts, GCs, pixmaps) are given back by
// xf_gfx_shutdown() while the connection is open; dropping the state
// without it frees only the memory on our side.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/record_pool.h"
#include "winsys/font_names.h"
#include "winsys/pixels.h"
#include "winsys/xfont.h"

struct XfFontCache {
  std::vector<XfFont*> records;                          // every record, opening order
  std::vector<std::pair<std::string, XfFont*>> by_name;  // sorted by name
  std::string fixed_face = "adobe-courier", prop_face = "adobe-helvetica";
  int32_t fixed_size = 120, prop_size = 120;
  bool resolution_known = false;
  int32_t res_x = 75, res_y = 75;
};

struct XfFontNames {
  bool listed = false;
  std::vector<std::string> server;                             // XListFonts("*")
  std::vector<std::pair<std::string, std::string>> foundries;  // {foundry, family}, sorted
  bool foundries_built = false;
  bool aliases_read = false;
  std::vector<std::pair<std::string, std::string>> aliases;  // {alias, XLFD}, sorted
  std::vector<std::string> extra_alias_dirs;                 // tests: read as well
  std::vector<XfFontListEntry> list;                         // the last xfListFonts
  bool list_done = false;
};

struct XfColourCache {
  struct Entry {
    uint32_t key;  // 0x00BBGGRR
    unsigned long pixel;
  };
  Entry entries[256];
  int32_t count = 0;
  uint32_t allocations = 0;      // colours asked of X (tests)
  std::vector<XfShades> shades;  // grows past its first 38 instead of overflowing
  bool sys_done = false;
  uint32_t sys[17] = {};  // the API's system colours, 0x00RRGGBB
  unsigned long dialog_copy = 0;
  bool dialog_copy_set = false;
};

struct XfGcs {
  std::vector<GC> list;  // sorted by handle value
  GC control = nullptr;
  uint32_t changes = 0;  // GC change requests sent by presentation spaces (tests)
};

struct XfPsShared {
  XfFont* default_font = nullptr;
  std::string default_font_name;
  std::vector<XChar2b> wide;   // two-byte text buffer, only grown
  std::vector<XPoint> points;  // point buffer, only grown
  void* root_ps = nullptr;
};

struct XfFontLayer {
  RecordPool cache{};  // FontCacheEntry
  int32_t last_hit = -1;
  RecordPool aliases[3] = {};    // FontAlias: translations, printer, screen
  std::vector<char> query_list;  // WinQueryFonts, built once
  bool query_list_done = false;
  std::vector<std::pair<std::string, bool>> name_set;  // FontNameSet, sorted
  int32_t screen_w = 0, screen_h = 0;
  int32_t ppi_x = 75, ppi_y = 75;
  int32_t twips_x = 19, twips_y = 19;
  int32_t dlg_x = 19, dlg_y = 19;
  // System fonts 1..4: handle (cache index), face, size, style.
  struct SysFont {
    int32_t index = -1;
    std::string face;
    int32_t size = 0;
    int32_t style = 0;
  } sys[5];
};

struct XfImages {
  bool done = false;
  Pixmap stipples[7] = {};  // 50%, light grey, dark grey, 4 hatches
  Pixmap check = 0, check_mask = 0, check_off = 0, check_off_mask = 0;
  int32_t check_w = 16, check_h = 16;
  Pixmap scratch = 0;
  int32_t scratch_w = 0, scratch_h = 0;
  GC scratch_gc = nullptr;
  struct Contrast {
    Drawable d;
    int32_t x, y, w, h;
    unsigned long pixel;
  };
  std::vector<Contrast> contrast;
  unsigned long focus_pixel = 0, label_focus_pixel = 0;
  bool focus_set = false, label_focus_set = false;
  GC picture_gc = nullptr;
  int picture_gc_depth = 0;
};

struct XfGfx {
  XfFontCache fonts;
  XfFontNames names;
  XfColourCache colours;
  XfGcs gcs;
  XfPsShared ps;
  XfFontLayer fl;
  XfImages images;
  ~XfGfx();
};

XfGfx& xg();
// Gives back every server resource of the drawing layer (the connection
// must still be open) and drops its state.
void xf_gfx_shutdown();
// X start-up of the drawing layer: the font mapper, the default faces and
// the root presentation space.
void xf_gfx_start();
