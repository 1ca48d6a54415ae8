// X initialisation, server adaptations, the fatal exit and the shutdown.
//
// xfInitX installs the error handlers, fills the translator table, opens
// the display, records the screen, classifies the server and the visual,
// sets up the keyboard, decides whether the WM_TAKE_FOCUS protocol is used
// and reads the window layer's X resources. X protocol errors are reported
// as one line on standard error and survived; only a lost connection ends
// the process.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

void xfInitX();
void xfShutdownX();
void xfReadResources();
[[noreturn]] void xfFatal(const char* message, int code);

// ----- server and visual -----
// Sets family and platform from a vendor string (only while the family is 0).
void xfSetServerVendor(const char* vendor);
void xfDetectServer();
void xfSetPlatformByName(const char* name);
void xfSetPlatform(int n);
bool xfIsServerFamily(int id);
bool xfIsPlatform(int id);
int xf_server_family();
int xf_server_platform();
// 1 "COLOR", 2 "GRAY", 3 "MONO" from a root depth and the visual classes.
int xf_classify_visuals(int root_depth, const int* classes, int count);
const char* xfQueryVisualClass();
bool xfIsVisualClass(int id);
int xfDetectPositioningMode();
void xfSetWindowPositioningMode(int n);
int xf_positioning_mode();
void xfSetRawAltKeysyms();
// The WM_TAKE_FOCUS decision: the environment value (null when unset) and
// whether an OpenLook window manager was seen.
bool xf_take_focus_decision(const char* env, bool openlook);
bool xf_use_take_focus();

// ----- default fonts -----
struct XfDefaultFonts {
  uint32_t size;           // tenths of a point, both faces
  std::string fixed_name;  // "adobe-courier" ("alias-7x13" on family 1)
  std::string prop_name;   // "adobe-helvetica"
  int fixed_style, prop_style;
  std::vector<std::string> fallback;  // the 8 patterns
};
// From ZXDEFFONTSIZE (null when unset) and the server family.
XfDefaultFonts xf_default_fonts(const char* zxdeffontsize, int family);
void xfInitDefaultFonts();
const XfDefaultFonts& xf_defaults();

// ----- drawing helper of the decorations -----
// The endpoints xfDrawLine draws on the current server family.
void xf_line_endpoints(int family, int* x1, int* y1, int* x2, int* y2);
void xfDrawLine(Display* display, Drawable drawable, GC gc, int x1, int y1, int x2, int y2);

void xfPrintDiagnostics();
void xfSync();
// The X errors survived so far.
uint32_t xf_x_error_count();
// The window layer's error handlers (installed by xfInitX; tests install
// them on connections of their own).
int xfXErrorHandler(Display* display, XErrorEvent* error);
int xfXIOErrorHandler(Display* display);

// Opens the layer on an already open display (tests, and xfInitX itself):
// records the screen, atoms and server, sets up the keyboard.
void xf_attach_display(Display* display);
