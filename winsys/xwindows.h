// The X side of window records: opening the display, the atoms, the three
// sorts of X window (top-level frames, override-redirect pop-ups, children)
// with their event masks, the window-manager properties, and geometry
// setters that send nothing when nothing changes.
//
// Without a connection the records are still made (with X ids of their own
// numbering), so the layer's logic runs in tests that need no server.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "winsys/window_rec.h"

// Event masks.
inline constexpr long kTopLevelMask = 0x22807F | PropertyChangeMask;  // + PropertyChange: peer data
inline constexpr long kChildMask = 0x804D;                            // keys, buttons, motion, expose
inline constexpr long kButtonMask = 0x807D;                           // + crossing
inline constexpr long kInnerMask = 0x800D;                            // keys, buttons, expose

Display* xfOpenDisplay(const char* name, const char* res_class);
void xfInternAtoms();

XfWindow* xfCreateFrameWindow(XfWindow* parent, XfWindow* owner, const char* name, const char* icon_name,
                              const char* res_class, int32_t x, int32_t y, int32_t width, int32_t height,
                              int32_t min_width, int32_t min_height, int32_t max_width, int32_t max_height,
                              uint32_t decorations, uint32_t functions, bool map);
XfWindow* xfCreateOwnedFrameWindow(XfWindow* parent, XfWindow* owner, const char* name, const char* icon_name,
                                   const char* res_class, int32_t x, int32_t y, int32_t width, int32_t height,
                                   int32_t min_width, int32_t min_height, int32_t max_width, int32_t max_height,
                                   uint32_t decorations, uint32_t functions, bool map);
XfWindow* xfCreatePopupWindow(int32_t x, int32_t y, int32_t width, int32_t height, bool map);
XfWindow* xfCreateChildWindow(XfWindow* parent, int32_t x, int32_t y, int32_t width, int32_t height, long event_mask,
                              char map_code);
void xfMapWindow(XfWindow* w);
void xfUnmapWindow(XfWindow* w);

void xfSetWMProperties(XfWindow* w, const char* name, const char* icon_name, const char* res_class, int32_t min_width,
                       int32_t min_height, int32_t max_width, int32_t max_height);
void xfSetSizeHints(XfWindow* w, int32_t min_width, int32_t min_height, int32_t max_width, int32_t max_height);
void xfSetMotifHints(Window xid, uint32_t decorations, uint32_t functions);
void xfSetWMProtocols(XfWindow* w);
void xfSetWMName(XfWindow* w, const char* text);
void xfSetWMIcon(XfWindow* w, Pixmap pixmap, Pixmap mask);

void xfMoveWindowTo(XfWindow* w, int32_t x, int32_t y);
void xfResizeWindowTo(XfWindow* w, int32_t width, int32_t height);
void xfSetWindowGeometry(XfWindow* w, int32_t x, int32_t y, int32_t width, int32_t height);
void xfQueryWindowSize(XfWindow* w, int32_t* width, int32_t* height);
void xfQueryAbsolutePos(XfWindow* w, int32_t* x, int32_t* y);
void xfQueryAbsoluteGeometry(XfWindow* w, int32_t* x, int32_t* y, int32_t* width, int32_t* height);
void xfOffsetByAbsolutePos(XfWindow* w, int32_t* x, int32_t* y);

// The X ids handed out without a connection start here.
inline constexpr Window kFirstFakeXid = 0x0A00001;
