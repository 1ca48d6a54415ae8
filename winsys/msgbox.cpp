// The message box: wrapping, layout, the frame and its buttons, the modal
// loop, painting and the four icons (drawn here, with their masks).
#include "winsys/msgbox.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#include "winsys/classes.h"
#include "winsys/focus.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/paint.h"
#include "winsys/pixels.h"
#include "winsys/present.h"
#include "winsys/window.h"
#include "winsys/winquery.h"
#include "winsys/xfont.h"
#include "winsys/xfsys.h"
#include "winsys/xwindows.h"

namespace {

// Button sets by style & 0x0F. Set 5 is the spill-file question: it offers
// Retry and Cancel; set 2 is Abort, Retry, Ignore. Columns: count, labels,
// ids, what Escape answers, answer letters and their ids.
constexpr XfMsgBoxSet kOkSet{1, {"~OK"}, {kMbOk}, kMbOk, "o", {kMbOk}};
constexpr XfMsgBoxSet kOkCancelSet{2, {"~OK", "~Cancel"}, {kMbOk, kMbCancel}, kMbCancel, "oc", {kMbOk, kMbCancel}};
constexpr XfMsgBoxSet kAbortRetryIgnoreSet{3,     {"~Abort", "~Retry", "~Ignore"}, {kMbAbort, kMbRetry, kMbIgnore}, 0,
                                           "ari", {kMbAbort, kMbRetry, kMbIgnore}};
constexpr XfMsgBoxSet kYesNoCancelSet{3,     {"~Yes", "~No", "~Cancel"}, {kMbYes, kMbNo, kMbCancel}, kMbCancel,
                                      "ync", {kMbYes, kMbNo, kMbCancel}};
constexpr XfMsgBoxSet kYesNoSet{2, {"~Yes", "~No"}, {kMbYes, kMbNo}, 0, "yn", {kMbYes, kMbNo}};
constexpr XfMsgBoxSet kRetryCancelSet{2,    {"~Retry", "~Cancel"}, {kMbRetry, kMbCancel}, kMbCancel,
                                      "rc", {kMbRetry, kMbCancel}};
constexpr XfMsgBoxSet kOtherSet{2, {"OK", "OK"}, {kMbOk, kMbOk}, 0, "", {}};

const XfMsgBoxSet* const kSets[16] = {&kOkSet,          &kOkCancelSet, &kAbortRetryIgnoreSet,
                                      &kYesNoCancelSet, &kYesNoSet,    &kRetryCancelSet,
                                      &kOtherSet,       &kOtherSet,    &kOtherSet,
                                      &kOtherSet,       &kOtherSet,    &kOtherSet,
                                      &kOtherSet,       &kOtherSet,    &kOtherSet,
                                      &kOtherSet};

bool is_break(char c) { return c == ' ' || c == '\r' || c == '\n'; }

}  // namespace

const XfMsgBoxSet& xf_msgbox_set(uint32_t style) { return *kSets[style & 0x0F]; }

int xfWrapMessageText(std::string_view text, std::string* out) {
  out->clear();
  size_t start = 0, n = text.size();
  int lines = 0;
  while (lines < kWrapMaxLines) {
    size_t end = std::string_view::npos;
    for (size_t p = start; p <= n; ++p) {
      if (p < n && !is_break(text[p])) continue;
      if (end != std::string_view::npos && p - start > kWrapColumns) break;  // past the column?
      end = p;
      if (p == n || text[p] != ' ') break;  // a hard break or the end ends the scan
    }
    if (lines > 0) out->push_back('\n');
    out->append(text.substr(start, end - start));
    ++lines;
    if (end == n) break;
    size_t next = end + 1;
    if (text[end] == '\r' && next < n && text[next] == '\n') {
      ++next;
    } else if (text[end] == ' ') {
      while (next < n && text[next] == ' ') ++next;
    }
    start = next;
  }
  return lines;
}

XfMsgBoxLayout xf_msgbox_layout(int32_t tw, int32_t th, int32_t iw, int32_t ih, int32_t cancel_width,
                                int32_t font_height) {
  XfMsgBoxLayout l{};
  int32_t h = std::max(th, ih) + 20;
  l.width = tw + iw + 40;
  l.text_x = iw + 30;
  l.text_y = (h - th) / 2;
  l.icon_x = 10;
  l.icon_y = (h - ih) / 2;
  l.button_width = cancel_width + 30;
  l.button_height = font_height + 20;
  l.height = h + l.button_height + 20;
  l.width = std::max(l.width, 3 * l.button_width + 40);
  int32_t column = l.width / 3, x0 = (column - l.button_width) / 2;
  l.button_y = l.height - 10 - l.button_height;
  for (int k = 0; k < 3; ++k) l.button_x[k] = k * column + x0;
  return l;
}

namespace {

// ----- icons: drawn once per box, with their masks -----

struct Icon {
  Pixmap pixmap = 0, mask = 0;
  int32_t width = 0, height = 0;
};

enum class IconKind { stop, question, exclamation, information };

IconKind icon_kind(uint32_t style) {
  switch (style & 0xF0) {
    case 0x10:
    case 0xA0:
      return IconKind::stop;
    case 0x20:
      return IconKind::question;
    case 0x30:
      return IconKind::exclamation;
    default:
      return IconKind::information;
  }
}

// The shape in both the picture (colour) and the mask (1 where drawn).
struct IconPainter {
  Display* d;
  Pixmap pix, mask;
  GC gc, mgc;
  void fill_polygon(const std::vector<XPoint>& pts, unsigned long pixel) {
    XSetForeground(d, gc, pixel);
    XFillPolygon(d, pix, gc, const_cast<XPoint*>(pts.data()), int(pts.size()), Convex, CoordModeOrigin);
    XFillPolygon(d, mask, mgc, const_cast<XPoint*>(pts.data()), int(pts.size()), Convex, CoordModeOrigin);
  }
  void fill_rect(int x, int y, int w, int h, unsigned long pixel) {
    XSetForeground(d, gc, pixel);
    XFillRectangle(d, pix, gc, x, y, w, h);
    XFillRectangle(d, mask, mgc, x, y, w, h);
  }
  void fill_circle(int x, int y, int size, unsigned long pixel) {
    XSetForeground(d, gc, pixel);
    XFillArc(d, pix, gc, x, y, size, size, 0, 360 * 64);
    XFillArc(d, mask, mgc, x, y, size, size, 0, 360 * 64);
  }
};

Icon make_icon(IconKind kind) {
  Icon icon;
  Display* d = xf_display();
  icon.width = 48;
  icon.height = kind == IconKind::stop ? 48 : 64;
  if (!d) return icon;
  Window root = xf().conn.root;
  icon.pixmap = XCreatePixmap(d, root, icon.width, icon.height, xf().conn.depth);
  icon.mask = XCreatePixmap(d, root, icon.width, icon.height, 1);
  GC gc = XCreateGC(d, icon.pixmap, 0, nullptr);
  GC mgc = XCreateGC(d, icon.mask, 0, nullptr);
  XSetForeground(d, mgc, 0);
  XFillRectangle(d, icon.mask, mgc, 0, 0, icon.width, icon.height);
  XSetForeground(d, mgc, 1);
  IconPainter p{d, icon.pixmap, icon.mask, gc, mgc};
  Colormap cm = xf().conn.colormap;
  unsigned long black = xfRgbToPixel(cm, 0x000000), white = xfRgbToPixel(cm, 0xFFFFFF);
  auto octagon = [](int inset) {
    int a = 14 + inset / 2, lo = inset, hi = 47 - inset;
    return std::vector<XPoint>{{short(a), short(lo)},      {short(47 - a), short(lo)}, {short(hi), short(a)},
                               {short(hi), short(47 - a)}, {short(47 - a), short(hi)}, {short(a), short(hi)},
                               {short(lo), short(47 - a)}, {short(lo), short(a)}};
  };
  switch (kind) {
    case IconKind::stop:
      p.fill_polygon(octagon(0), black);
      p.fill_polygon(octagon(2), xfRgbToPixel(cm, 0xFF0000));
      break;
    case IconKind::question:
      p.fill_circle(0, 0, 48, xfRgbToPixel(cm, 0x0000C0));
      p.fill_rect(16, 10, 16, 5, white);
      p.fill_rect(29, 12, 5, 12, white);
      p.fill_rect(22, 23, 10, 5, white);
      p.fill_rect(22, 27, 5, 8, white);
      p.fill_rect(22, 38, 5, 5, white);
      break;
    case IconKind::exclamation:
      p.fill_polygon({{24, 0}, {47, 46}, {0, 46}}, xfRgbToPixel(cm, 0xFFD000));
      p.fill_rect(22, 14, 5, 20, black);
      p.fill_rect(22, 37, 5, 5, black);
      break;
    case IconKind::information:
      p.fill_circle(0, 0, 48, xfRgbToPixel(cm, 0x0000C0));
      p.fill_rect(22, 9, 5, 5, white);
      p.fill_rect(22, 18, 5, 20, white);
      break;
  }
  XFreeGC(d, gc);
  XFreeGC(d, mgc);
  return icon;
}

void free_icon(Icon& icon) {
  if (Display* d = xf_display()) {
    if (icon.pixmap) XFreePixmap(d, icon.pixmap);
    if (icon.mask) XFreePixmap(d, icon.mask);
  }
  icon = Icon{};
}

// ----- the running box -----

struct MsgBox {
  XfWindow* frame = nullptr;
  XfWindow* client = nullptr;
  XfWindow* buttons[3] = {};
  std::string text;
  XfMsgBoxLayout layout{};
  Icon icon;
  const XfFont* font = nullptr;
  int32_t ascent = 0, descent = 0;
};

const XfFont* box_font() {
  auto* f = static_cast<const XfFont*>(xf().values.label_font);
  return f ? f : xf_ps_default_font();
}

int32_t text_width(const XfFont* f, const char* s, int n) {
  if (!f || !f->fs) return 8 * n;  // no server: a fixed cell
  return XTextWidth(f->fs, s, n);
}

void tg_metrics(const XfFont* f, int32_t* ascent, int32_t* descent) {
  if (!f || !f->fs) {
    *ascent = 10;
    *descent = 3;
    return;
  }
  int dir = 0, a = 0, de = 0;
  XCharStruct cs{};
  XTextExtents(f->fs, "Tg", 2, &dir, &a, &de, &cs);
  *ascent = cs.ascent;
  *descent = cs.descent;
}

template <class Fn>
void each_line(const std::string& text, Fn fn) {
  size_t start = 0;
  for (;;) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string::npos ? text.size() : nl;
    fn(text.data() + start, static_cast<int>(end - start));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
}

void paint_box(XfWindow* client) {
  auto* box = reinterpret_cast<MsgBox*>(client->user);
  Display* d = xf_display();
  GC gc = xfControlGc();
  if (!d || !gc || !box) {
    xfValidateWindow(client);
    return;
  }
  xfBeginGcPaint(client, gc);
  XSetFillStyle(d, gc, FillSolid);
  XSetForeground(d, gc, xf().values.mdi_client);
  XFillRectangle(d, client->xwin, gc, 0, 0, client->width, client->height);
  XSetForeground(d, gc, xfRgbToPixel(xf().conn.colormap, 0x000000));
  if (box->font && box->font->fid) XSetFont(d, gc, box->font->fid);
  int32_t y = box->layout.text_y;
  each_line(box->text, [&](const char* s, int n) {
    XDrawString(d, client->xwin, gc, box->layout.text_x, y + box->ascent, s, n);
    y += box->ascent + box->descent;
  });
  if (box->icon.pixmap) {
    XSetClipMask(d, gc, box->icon.mask);
    XSetClipOrigin(d, gc, box->layout.icon_x, box->layout.icon_y);
    XCopyArea(d, box->icon.pixmap, client->xwin, gc, 0, 0, box->icon.width, box->icon.height, box->layout.icon_x,
              box->layout.icon_y);
    XSetClipOrigin(d, gc, 0, 0);
  }
  xfEndGcPaint(client, gc);
}

intptr_t box_client_proc(XfWindow* window, uint32_t message, intptr_t, intptr_t) {
  if (message == ZWM_PAINT) paint_box(window);
  return 0;
}

intptr_t box_frame_proc(XfWindow* window, uint32_t message, intptr_t, intptr_t) {
  if (message == ZWM_MAPPED) {
    if (window->shown == 2)
      xfUnmapWindow(window);
    else
      xfMeasureFrame(window, true);
  }
  return 0;  // a close request from the window manager is ignored
}

void raise_box(XfWindow* frame) {
  if (Display* d = xf_display()) XRaiseWindow(d, frame->xwin);
}

void set_default(MsgBox& box, int index) {
  for (int k = 0; k < 3; ++k) {
    XfWindow* b = box.buttons[k];
    if (!b) continue;
    b->style = k == index ? 8 : 0;
    b->k.button.has_focus = k == index;
    xfInvalidateRect(b, nullptr);
  }
  if (box.buttons[index]) xfSetFocus(box.buttons[index]);
}

void move_default(MsgBox& box, char direction) {
  int present[3], count = 0, current = -1;
  for (int k = 0; k < 3; ++k)
    if (box.buttons[k]) present[count++] = k;
  for (int i = 0; i < count && current < 0; ++i)
    if (box.buttons[present[i]]->k.button.has_focus) current = i;
  if (current < 0) return;
  int next = direction == 'l' ? (current == 0 ? count - 1 : current - 1) : (current == count - 1 ? 0 : current + 1);
  set_default(box, present[next]);
}

// The id of the default button, posted as its command; 0 when none is.
int press_default(MsgBox& box) {
  XfWindow* pressed = nullptr;
  for (XfWindow* b : box.buttons)
    if (b && (b->style & 8)) pressed = b;
  if (!pressed) return 0;
  xfPostMsg(box.client, ZWM_COMMAND, static_cast<intptr_t>(pressed->id), 0x10000);
  return static_cast<int>(pressed->id);
}

void box_mouse(MsgBox& box, XfMessage* m) {
  int hit = -1;
  for (int k = 0; k < 3; ++k)
    if (box.buttons[k] && box.buttons[k] == m->window) hit = k;
  if (hit < 0) {
    if (m->number == ZWM_LBUTTONDOWN) xfBeep();
    return;
  }
  for (int k = 0; k < 3; ++k) {
    XfWindow* b = box.buttons[k];
    if (!b) continue;
    b->style = k == hit ? 8 : 0;
    b->k.button.has_focus = k == hit;
    xfInvalidateRect(b, nullptr);
  }
  xfDispatchMsg(m);
}

// What a key answers: a result, or 0 to go on.
int box_key(MsgBox& box, const XfMsgBoxSet& set, intptr_t mp1) {
  if (xf_key_state(mp1) & (ShiftMask | ControlMask)) return 0;
  unsigned long keysym = xf_key_keysym(mp1);
  switch (keysym) {
    case XK_space:
    case XK_Return:
    case XK_KP_Enter:
      return press_default(box);
    case XK_Escape:
      return set.escape;
    case XK_Left:
      move_default(box, 'l');
      return 0;
    case XK_Right:
      move_default(box, 'r');
      return 0;
    default:
      break;
  }
  if (keysym > 0x7F || !std::isalpha(static_cast<int>(keysym))) return 0;
  char c = static_cast<char>(std::tolower(static_cast<int>(keysym)));
  for (int i = 0; set.letters[i]; ++i)
    if (set.letters[i] == c) return set.letter_ids[i];
  return 0;
}

int run_loop(MsgBox& box, const XfMsgBoxSet& set) {
  int result = 1;
  XfMessage m{};
  while (xfGetMsg(&m, nullptr, 0, 0)) {
    switch (m.number) {
      case ZWM_LBUTTONDOWN:
      case ZWM_LBUTTONUP:
        box_mouse(box, &m);
        break;
      case ZWM_RBUTTONDOWN:
      case ZWM_MBUTTONDOWN:
        xfBeep();
        break;
      case ZWM_COMMAND:
        return static_cast<int>(m.mp1);
      case ZWM_CLOSE:
        if (set.escape) return set.escape;
        break;
      case ZWM_PAINT:
      case 0x2000:
        xfDispatchMsg(&m);
        raise_box(box.frame);
        break;
      case ZWM_CHAR:
        if (int r = box_key(box, set, m.mp1)) return r;
        break;
      default:
        xfDispatchMsg(&m);
        break;
    }
  }
  return result;
}

}  // namespace

int xfMessageBox(XfWindow* owner, const char* text, const char* title, uint32_t style, int32_t x, int32_t y) {
  MsgBox box;
  const XfMsgBoxSet& set = xf_msgbox_set(style);
  xfWrapMessageText(text ? text : "", &box.text);
  box.font = box_font();
  tg_metrics(box.font, &box.ascent, &box.descent);
  int32_t tw = 0, lines = 0;
  each_line(box.text, [&](const char* s, int n) {
    tw = std::max(tw, text_width(box.font, s, n));
    ++lines;
  });
  box.icon = make_icon(icon_kind(style));
  int32_t font_height = box.ascent + box.descent;
  box.layout = xf_msgbox_layout(tw, lines * font_height, box.icon.width, box.icon.height,
                                text_width(box.font, "Cancel", 6), font_height);
  const XfMsgBoxLayout& L = box.layout;

  if (owner == nullptr || owner == reinterpret_cast<XfWindow*>(1)) {
    owner = xf().main_window;
    if (!owner) {
      x = (xf().conn.width - 530) / 2;
      y = (xf().conn.height - 300) / 2;
    }
  }
  bool centre = x == kMbCentre || y == kMbCentre;
  int32_t fx = centre ? 0 : x, fy = centre ? 0 : y;
  uint32_t deco = xf_frame_decorations(kFrameBorder | kFrameTitle);
  uint32_t func = xf_frame_functions(kFrameBorder | kFrameTitle);
  bool owned = owner && owner->shown == 1;
  box.frame = owned ? xfCreateOwnedFrameWindow(owner, owner, title, title, "Halvorn", fx, fy, L.width, L.height,
                                               L.width, L.height, L.width, L.height, deco, func, false)
                    : xfCreateFrameWindow(owner, owner, title, title, "Halvorn", fx, fy, L.width, L.height, L.width,
                                          L.height, L.width, L.height, deco, func, false);
  xfSetWindowClass(XFTYPE_STDFRAME, box.frame, owner, nullptr);
  box.frame->proc = box_frame_proc;
  box.frame->id = 1;
  box.frame->k.frame.fixed_size = true;
  box.frame->k.frame.pos_mode = xf().server.positioning_mode;
  xfSetWMProtocols(box.frame);
  xfAddTopFrame(box.frame);
  if (centre) xfMoveWindowTo(box.frame, (xf().conn.width - L.width) / 2, (xf().conn.height - L.height) / 2);

  box.client = xfCreateWindow(box.frame, nullptr, nullptr, kStyleVisible, 0, 0, L.width, L.height, nullptr, nullptr, 1);
  box.frame->k.frame.client = box.client;
  box.client->kind = XFTYPE_MESSAGEBOX;
  box.client->proc = box_client_proc;
  box.client->font = const_cast<XfFont*>(box.font);
  box.client->user = reinterpret_cast<intptr_t>(&box);

  for (int k = 0; k < set.count; ++k) {
    XfWindow* b = xfCreateWindow(box.client, kButtonClass, "OK", 0x800004, L.button_x[k], L.button_y, L.button_width,
                                 L.button_height, nullptr, nullptr, 1);
    xfSetWindowColors(b, xf().values.dialog, -1);
    if (k > 0) xfSendMsg(b, ZWM_BTNSETDEFAULT, 0, 0);
    xfSendMsg(b, ZWM_SETTEXT, 0, reinterpret_cast<intptr_t>(set.labels[k]));
    b->id = static_cast<uint32_t>(set.ids[k]);
    box.buttons[k] = b;
  }

  xfMapWindow(box.frame);
  xfPushFocus();
  std::unique_ptr<bool[]> saved(new bool[static_cast<size_t>(xf_top_frame_count()) + 1]);
  xfDisableAllFrames(saved.get());
  box.frame->enabled = true;
  set_default(box, 0);
  if (XfWindow* under = xf_window_under_pointer()) xfPointerEnter(under);
  xfActivateFrame(box.frame);

  int result = run_loop(box, set);

  xfRestoreAllFrames(saved.get());
  xfPopFocus();
  xfUnmapWindow(box.frame);
  for (XfWindow* w : {box.buttons[0], box.buttons[1], box.buttons[2], box.client, box.frame})
    if (w) xfPurgeWindowMsgs(w, xf_posted_queue());
  box.client->user = 0;
  xfDestroyWindow(box.frame);
  free_icon(box.icon);
  return result;
}

bool xf_msgbox_can_show() { return xf_display() != nullptr; }
