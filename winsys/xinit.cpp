// X initialisation: how the window layer starts, adapts to the server and
// ends. Start reading at xfInitX.
#include "winsys/xinit.h"

#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "winsys/caret.h"
#include "winsys/gfx.h"
#include "winsys/keyboard.h"
#include "winsys/menu.h"
#include "winsys/paint.h"
#include "winsys/peer.h"
#include "winsys/pixels.h"
#include "winsys/resources.h"
#include "winsys/winquery.h"
#include "winsys/xevents.h"
#include "winsys/xfont.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

namespace {

XfServer& S() { return xf().server; }

// vendor string -> family, platform ("contains" for the first row, else
// "starts with").
struct VendorRow {
  const char* text;
  bool anywhere;
  int family, platform;
};
constexpr VendorRow kVendors[] = {
    {"XFree86", true, 1, 7},
    {"Hewlett", false, 4, 5},
    {"Sun", false, 2, 1},
    {"X Consortium", false, 2, 3},
    {"International", false, 5, 6},
    {"DECWINDOWS DigitalEquipmentCorp", false, 6, 8},
    {"DECWINDOWS Digital Equipment Corporation Digital UNIX", false, 7, 9},
    {"DECWINDOWS Digital Equipment Corporation DEC OSF/1", false, 6, 9},
};

// platform name -> family, platform
struct PlatformRow {
  const char* name;
  int family, platform;
};
constexpr PlatformRow kPlatforms[] = {
    {"LINUX", 1, 7},  {"HP9000", 4, 5},     {"SPARCSOLARIS", 2, 1}, {"SPARCSUNOS", 2, 3}, {"INTELSOLARIS", 1, 2},
    {"RS6000", 5, 6}, {"DECSTATION", 6, 8}, {"DECPC", 7, 9},        {"DEFAULT", 8, 10},
};

// The start option's platform numbers 1..9, by name.
constexpr const char* kPlatformByNumber[] = {"LINUX",  "HP9000",     "SPARCSOLARIS", "SPARCSUNOS", "INTELSOLARIS",
                                             "RS6000", "DECSTATION", "DECPC",        "DEFAULT"};

constexpr const char* kVisualNames[] = {"", "COLOR", "GRAY", "MONO"};

XfDefaultFonts g_fonts;

// A ZXDEFFONTSIZE above this many points is not believed.
constexpr unsigned long kMaxDefaultPoints = 100;

}  // namespace

// ----- errors -----

void xfFatal(const char* message, int code) {
  std::fprintf(stderr, "Zorvex: %s.\nExiting...\n", message);
  std::exit(code);
}

int xfXErrorHandler(Display* display, XErrorEvent* error) {
  char text[128] = "";
  XGetErrorText(display, error->error_code, text, sizeof text);
  std::fprintf(stderr, "Zorvex: X error received: %s, request %u.%u, resource 0x%lx.\n", text,
               static_cast<unsigned>(error->request_code), static_cast<unsigned>(error->minor_code), error->resourceid);
  ++xf().x_errors;
  return 0;
}

int xfXIOErrorHandler(Display*) {
  std::fprintf(stderr, "Zorvex: X connection killed.  Exiting...\n");
  std::exit(-1);
}

uint32_t xf_x_error_count() { return xf().x_errors; }

// ----- server and visual -----

void xfSetServerVendor(const char* vendor) {
  if (S().family != 0 || !vendor) return;
  for (const auto& row : kVendors) {
    bool match = row.anywhere ? std::strstr(vendor, row.text) != nullptr
                              : std::strncmp(vendor, row.text, std::strlen(row.text)) == 0;
    if (match) {
      S().family = row.family;
      S().platform = row.platform;
      return;
    }
  }
}

void xfDetectServer() {
  if (Display* d = xf_display()) xfSetServerVendor(ServerVendor(d));
}

void xfSetPlatformByName(const char* name) {
  for (const auto& row : kPlatforms) {
    if (std::strcmp(name, row.name) == 0) {
      S().family = row.family;
      S().platform = row.platform;
      return;
    }
  }
}

void xfSetPlatform(int n) {
  if (n >= 1 && n <= 9) xfSetPlatformByName(kPlatformByNumber[n - 1]);
}

bool xfIsServerFamily(int id) { return S().family == id; }
bool xfIsPlatform(int id) { return S().platform == id; }
int xf_server_family() { return S().family; }
int xf_server_platform() { return S().platform; }

int xf_classify_visuals(int root_depth, const int* classes, int count) {
  if (root_depth == 1 || count <= 0) return 3;
  bool gray = false;
  for (int i = 0; i < count; ++i) {
    int c = classes[i];
    if (c == StaticColor || c == PseudoColor || c == TrueColor || c == DirectColor) return 1;
    if (c == StaticGray || c == GrayScale) gray = true;
  }
  return gray ? 2 : 3;
}

namespace {

int compute_visual_class() {
  Display* d = xf_display();
  if (!d) return 1;
  XVisualInfo templ{};
  templ.screen = xf().conn.screen;
  int n = 0;
  XVisualInfo* list = XGetVisualInfo(d, VisualScreenMask, &templ, &n);
  int classes[256];
  int count = 0;
  for (int i = 0; i < n && count < 256; ++i) classes[count++] = list[i].c_class;
  if (list) XFree(list);
  return xf_classify_visuals(xf().conn.depth, classes, count);
}

}  // namespace

const char* xfQueryVisualClass() {
  if (!S().visual_class) S().visual_class = compute_visual_class();
  return kVisualNames[S().visual_class];
}

bool xfIsVisualClass(int id) {
  xfQueryVisualClass();
  return S().visual_class == id;
}

int xfDetectPositioningMode() {
  switch (S().family) {
    case 5:
    case 4:
      return 1;
    case 2:
      return S().platform == 3 ? 1 : 0;
    case 1:
      return 1;
    case 7:
      return 2;
    case 6:
      return 1;
    default:
      return 0;
  }
}

void xfSetWindowPositioningMode(int n) { S().positioning_mode = n >= 0 && n <= 3 ? n : 0; }
int xf_positioning_mode() { return S().positioning_mode == 4 ? 0 : S().positioning_mode; }
void xfSetRawAltKeysyms() { S().raw_alt_keysyms = true; }

bool xf_take_focus_decision(const char* env, bool openlook) {
  if (env) return env[0] == 'y' || env[0] == 'Y';
  return openlook;
}

bool xf_use_take_focus() { return S().use_take_focus; }

// ----- default fonts -----

XfDefaultFonts xf_default_fonts(const char* zxdeffontsize, int family) {
  XfDefaultFonts f;
  f.size = 120;
  if (zxdeffontsize && *zxdeffontsize) {
    uint32_t points = xf_resource_number(zxdeffontsize, 0, kMaxDefaultPoints);
    if (points) f.size = points * 10;
  }
  f.prop_name = "adobe-helvetica";
  f.prop_style = 1;
  f.fixed_name = family == 1 ? "alias-7x13" : "adobe-courier";
  f.fixed_style = 0;
  static constexpr const char* kFormats[] = {
      "-%s-%s-bold-r-normal-*-*-%d-75-75-*-*-*-*", "-%s-%s-*-r-normal-*-*-%d-75-75-*-*-*-*",
      "-%s-%s-*-*-normal-*-*-%d-75-75-*-*-*-*",    "-%s-%s-*-*-*-*-*-%d-75-75-*-*-*-*",
      "-%s-%s-*-*-*-*-*-%d-*-*-*-*-*-*",
  };
  char buf[160];
  for (const char* fmt : kFormats) {
    std::snprintf(buf, sizeof buf, fmt, "adobe", "helvetica", static_cast<int>(f.size));
    f.fallback.emplace_back(buf);
  }
  // The loose patterns name the charset: any charset at all could land on
  // a two-byte font whose first row is not where ASCII lives.
  std::snprintf(buf, sizeof buf, "-*-%s-*-*-*-*-*-%d-*-*-*-*-iso8859-1", "helvetica", static_cast<int>(f.size));
  f.fallback.emplace_back(buf);
  std::snprintf(buf, sizeof buf, "-*-*-*-*-*-*-*-%d-*-*-*-*-iso8859-1", static_cast<int>(f.size));
  f.fallback.emplace_back(buf);
  f.fallback.emplace_back("fixed");
  return f;
}

void xfInitDefaultFonts() {
  g_fonts = xf_default_fonts(std::getenv("ZXDEFFONTSIZE"), S().family);
  S().default_font_size = g_fonts.size;
}

const XfDefaultFonts& xf_defaults() { return g_fonts; }

namespace {

// Opens a font through the font layer, else "fixed"; no font at all is fatal.
void* open_font_or_fixed(const char* name) {
  if (void* f = xfOpenFont(name)) return f;
  if (void* f = xfOpenFont("fixed")) return f;
  xfFatal("Can't load any font", -2);
}

const char* font_name(const char* resource) { return resource == kResourceNone ? "" : resource; }

}  // namespace

// ----- resources -----

void xfReadResources() {
  XfResources& r = xf().res;
  XfResourceValues& v = xf().values;
  xf_free_resources(&r);
  xfLoadResources(&r, kXfResourceTable, 16);
  if (xf_display()) {
    v.menu_font = open_font_or_fixed(font_name(r.menuFont));
    v.button_font = open_font_or_fixed(font_name(r.buttonFont));
    v.label_font = open_font_or_fixed(font_name(r.labelFont));
    v.mdi_title_font = open_font_or_fixed("-adobe-helvetica-medium-r-normal-*-*-120-75-75-*-*-*-*");
    v.mdi_icon_font = open_font_or_fixed("");
  }
  xfParseColorResource(r.mdiChildFrameActiveColor, &v.mdi_active, "#808080");
  xfParseColorResource(r.mdiClientColor, &v.mdi_client, "#c0c0c0");
  xfParseColorResource(r.menuColor, &v.menu, "#c0c0c0");
  xfParseColorResource(r.defaultDialogColor, &v.dialog, "#c0c0c0");
  xfParseColorResource(r.textBoxColor, &v.textbox, "#fafad2");
  xfParseColorResource(r.textBox2Color, &v.textbox2, "#fafad2");
  v.frame_bg = v.dialog;
  unsigned long caret = 0;
  v.caret = std::strcmp(r.caretColor, kResourceNone) != 0 && xfParseColorResource(r.caretColor, &caret, nullptr)
                ? static_cast<long>(caret)
                : -1;
  // 0, garbage and absurd sizes give the defaults: a zero border or bar
  // width would make negative part sizes further on.
  v.mdi_border = xf_resource_number(r.mdiChildBorderWidth, 5, 50);
  v.scrollbar_width = xf_resource_number(r.scrollBarWidth, 18, 200);
  if (S().positioning_mode == 4) {
    S().positioning_mode = std::strcmp(r.windowPositioningMode, kResourceNone) == 0
                               ? xfDetectPositioningMode()
                               : xf_positioning_keyword(r.windowPositioningMode);
  }
  v.transfer_size = xf_resource_number(r.selectionTransferSize, 262040, 64u << 20);
}

// ----- start-up and shutdown -----

void xf_attach_display(Display* d) {
  XfSystem& s = xf();
  XfConnection& c = s.conn;
  c.display = d;
  c.screen = DefaultScreen(d);
  c.root = RootWindow(d, c.screen);
  c.colormap = DefaultColormap(d, c.screen);
  c.visual = DefaultVisual(d, c.screen);
  c.depth = DefaultDepth(d, c.screen);
  c.width = DisplayWidth(d, c.screen);
  c.height = DisplayHeight(d, c.screen);
  c.width_mm = DisplayWidthMM(d, c.screen);
  c.height_mm = DisplayHeightMM(d, c.screen);
  Screen* screen = ScreenOfDisplay(d, c.screen);
  s.server.save_unders = DoesSaveUnders(screen);
  s.server.backing_store = DoesBackingStore(screen) != NotUseful;
  s.events = xf_display_event_source(d);
  s.clock = xf_monotonic_clock();
  xfQueryVisualClass();
  xfInternAtoms();
  xfDetectServer();
}

void xfInitX() {
  if (S().init_done) return;
  XSetErrorHandler(xfXErrorHandler);
  XSetIOErrorHandler(xfXIOErrorHandler);
  xfInitEventTranslators();
  S().init_done = true;
  Display* d = xfOpenDisplay("Zorvex", "Halvorn");
  if (!d) {
    std::printf("Zorvex: Can't open connection to X.\n");
    std::fflush(stdout);
    std::exit(1);  // the same failure code as a missing DISPLAY
  }
  xf_attach_display(d);
  xfInitDefaultFonts();
  xf_gfx_start();
  xfInitKeyboard();
  S().use_take_focus = xf_take_focus_decision(std::getenv("ZORVEXUSETAKEFOCUS"), xfIsOpenWindowsServer());
  xfReadResources();
  xfInstallMenus();
}

void xfShutdownX() {
  XfSystem& s = xf();
  xf_caret_shutdown();
  xf_gfx_shutdown();
  if (s.scratch_gc && s.conn.display) XFreeGC(s.conn.display, s.scratch_gc);
  s.scratch_gc = nullptr;
  xfFreeAllPixmaps();
  xfFreeAllCursors();
}

void xfSync() { xfFlush(); }

// ----- drawing helper -----

void xf_line_endpoints(int family, int* x1, int* y1, int* x2, int* y2) {
  if (family != 5) return;
  if (*x1 == *x2) {
    if (*y2 > *y1) {
      --*y2;
    } else {
      --*y1;
    }
  } else if (*y1 == *y2 && *x1 >= *x2) {
    --*x1;
  } else {
    --*x2;
  }
}

void xfDrawLine(Display* display, Drawable drawable, GC gc, int x1, int y1, int x2, int y2) {
  xf_line_endpoints(S().family, &x1, &y1, &x2, &y2);
  XDrawLine(display, drawable, gc, x1, y1, x2, y2);
}

void xfPrintDiagnostics() {
  S().debug_bits = 0xFFFF;
  Display* d = xf_display();
  std::printf("X server vendor=%s\n", d ? ServerVendor(d) : "");
  std::printf("Visual=%s\n", xfQueryVisualClass());
  if (S().save_unders) std::printf("Screen supports save unders.\n");
  if (S().backing_store) std::printf("Screen supports backing store.\n");
  if (xfIsOpenWindowsServer()) std::printf("Detected OpenLook Window Manager (OLWM).\n");
}
