// The font dialog's window: a fixed-size frame titled "Font" whose client
// draws the model of font_dialog.cpp (face list, size field and list, bold
// and italic boxes, a sample line in the chosen font) and holds the OK and
// Cancel buttons. A loop of its own serves it until the user answers, with
// every other top-level frame disabled meanwhile; keys go to the model
// whatever has the focus.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <memory>
#include <string>

#include "forms/font_dialog.h"
#include "winsys/classes.h"
#include "winsys/focus.h"
#include "winsys/fonts.h"
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

constexpr int kOkId = 1, kCancelId = 2;
constexpr int kWidth = 460, kHeight = 300;

struct Box {
  int x, y, w, h;
  bool hit(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// Where things go in the client.
constexpr Box kFaceList{10, 26, 220, 160};
constexpr Box kSizeField{240, 26, 80, 20};
constexpr Box kSizeList{240, 50, 80, 136};
constexpr Box kBoldBox{340, 28, 110, 18};
constexpr Box kItalicBox{340, 52, 110, 18};
constexpr Box kOkButton{340, 110, 110, 28};
constexpr Box kCancelButton{340, 146, 110, 28};
constexpr Box kSample{10, 206, 440, 80};
constexpr const char* kSampleText = "AaBbYyZz 0123";

struct DialogWin {
  FontDialog model;
  XfWindow* frame = nullptr;
  XfWindow* client = nullptr;
  XfWindow* ok = nullptr;
  XfWindow* cancel = nullptr;
  const XfFont* font = nullptr;
  int32_t row = 16;
};

const XfFont* label_font() {
  auto* f = static_cast<const XfFont*>(xf().values.label_font);
  return f ? f : xf_ps_default_font();
}

int rows_of(const Box& b, int32_t row) { return std::max((b.h - 2) / std::max(row, 1), 1); }

unsigned long rgb(uint32_t c) { return xfRgbToPixel(xf().conn.colormap, c); }

void draw_text(Display* d, Drawable w, GC gc, const XfFont* f, int x, int y, const std::string& s) {
  if (f && f->fid) XSetFont(d, gc, f->fid);
  const int ascent = f && f->fs ? f->fs->ascent : 10;
  XDrawString(d, w, gc, x, y + ascent, s.data(), static_cast<int>(s.size()));
}

void frame_rect(Display* d, Drawable w, GC gc, const Box& b, uint32_t colour) {
  XSetForeground(d, gc, rgb(colour));
  XDrawRectangle(d, w, gc, b.x, b.y, static_cast<unsigned>(b.w - 1), static_cast<unsigned>(b.h - 1));
}

void paint_list(Display* d, Drawable w, GC gc, const DialogWin& dw, const Box& b, const std::vector<std::string>& items,
                int chosen, int top) {
  XSetForeground(d, gc, rgb(0xFFFFFF));
  XFillRectangle(d, w, gc, b.x, b.y, static_cast<unsigned>(b.w), static_cast<unsigned>(b.h));
  frame_rect(d, w, gc, b, 0x000000);
  const int rows = rows_of(b, dw.row);
  for (int r = 0; r < rows && top + r < static_cast<int>(items.size()); ++r) {
    const int i = top + r, y = b.y + 1 + r * dw.row;
    if (i == chosen) {
      XSetForeground(d, gc, rgb(0x000080));
      XFillRectangle(d, w, gc, b.x + 1, y, static_cast<unsigned>(b.w - 2), static_cast<unsigned>(dw.row));
    }
    XSetForeground(d, gc, rgb(i == chosen ? 0xFFFFFF : 0x000000));
    draw_text(d, w, gc, dw.font, b.x + 4, y + 1, items[static_cast<size_t>(i)]);
  }
}

void paint_check(Display* d, Drawable w, GC gc, const DialogWin& dw, const Box& b, const char* label, bool on) {
  const int s = 13, y = b.y + (b.h - s) / 2;
  XSetForeground(d, gc, rgb(0xFFFFFF));
  XFillRectangle(d, w, gc, b.x, y, s, s);
  XSetForeground(d, gc, rgb(0x000000));
  XDrawRectangle(d, w, gc, b.x, y, s - 1, s - 1);
  if (on) {
    XDrawLine(d, w, gc, b.x + 3, y + 6, b.x + 5, y + 9);
    XDrawLine(d, w, gc, b.x + 5, y + 9, b.x + 9, y + 3);
    XDrawLine(d, w, gc, b.x + 3, y + 7, b.x + 5, y + 10);
    XDrawLine(d, w, gc, b.x + 5, y + 10, b.x + 9, y + 4);
  }
  draw_text(d, w, gc, dw.font, b.x + s + 6, b.y + 1, label);
}

// The chosen font opened through the font cache; null when there is none.
const XfFont* sample_font(const FontDialog& m) {
  FontChoice c;
  if (!fontdlg_choice(m, &c)) return nullptr;
  FontDescription desc = font_description(c.face.c_str(), c.size, (c.style & 0xF) | (m.flags & 2 ? 0x200 : 0));
  const int32_t slot = font_cache_find(&desc);
  const FontAttrs* a = slot < 0 ? nullptr : font_cache_attrs(slot);
  return a ? a->font : nullptr;
}

void paint_dialog(XfWindow* client) {
  auto* dw = reinterpret_cast<DialogWin*>(client->user);
  Display* d = xf_display();
  GC gc = xfControlGc();
  if (!d || !gc || !dw) {
    xfValidateWindow(client);
    return;
  }
  const FontDialog& m = dw->model;
  xfBeginGcPaint(client, gc);
  XSetFillStyle(d, gc, FillSolid);
  const Drawable w = client->xwin;
  XSetForeground(d, gc, xf().values.dialog);
  XFillRectangle(d, w, gc, 0, 0, kWidth, kHeight);
  XSetForeground(d, gc, rgb(0x000000));
  draw_text(d, w, gc, dw->font, kFaceList.x, 6, "Font:");
  draw_text(d, w, gc, dw->font, kSizeField.x, 6, "Size:");
  draw_text(d, w, gc, dw->font, kSample.x, kSample.y - 18, "Sample:");
  paint_list(d, w, gc, *dw, kFaceList, m.faces, m.face, m.face_top);
  XSetForeground(d, gc, rgb(0xFFFFFF));
  XFillRectangle(d, w, gc, kSizeField.x, kSizeField.y, kSizeField.w, kSizeField.h);
  frame_rect(d, w, gc, kSizeField, 0x000000);
  XSetForeground(d, gc, rgb(0x000000));
  draw_text(d, w, gc, dw->font, kSizeField.x + 4, kSizeField.y + 2, m.size_field);
  paint_list(d, w, gc, *dw, kSizeList, m.sizes, m.size, m.size_top);
  XSetForeground(d, gc, rgb(0x000000));
  paint_check(d, w, gc, *dw, kBoldBox, "Bold", m.bold);
  paint_check(d, w, gc, *dw, kItalicBox, "Italic", m.italic);
  // The sample in the chosen font, on white inside a frame.
  XSetForeground(d, gc, rgb(0xFFFFFF));
  XFillRectangle(d, w, gc, kSample.x, kSample.y, kSample.w, kSample.h);
  frame_rect(d, w, gc, kSample, 0x000000);
  if (const XfFont* f = sample_font(m); f && f->fs) {
    XRectangle clip{static_cast<short>(kSample.x + 1), static_cast<short>(kSample.y + 1),
                    static_cast<unsigned short>(kSample.w - 2), static_cast<unsigned short>(kSample.h - 2)};
    XSetClipRectangles(d, gc, 0, 0, &clip, 1, Unsorted);
    XSetForeground(d, gc, rgb(0x000000));
    const int h = f->fs->ascent + f->fs->descent;
    draw_text(d, w, gc, f, kSample.x + 8, kSample.y + std::max((kSample.h - h) / 2, 1), kSampleText);
    XSetClipMask(d, gc, None);
  }
  // The focus mark: a frame around the part that takes the keys.
  const Box parts[] = {kFaceList, kSizeField, kBoldBox, kItalicBox, kOkButton, kCancelButton};
  const Box& f = parts[static_cast<int>(m.focus)];
  frame_rect(d, w, gc, Box{f.x - 3, f.y - 3, f.w + 6, f.h + 6}, 0x000000);
  xfEndGcPaint(client, gc);
}

intptr_t client_proc(XfWindow* window, uint32_t message, intptr_t, intptr_t) {
  if (message == ZWM_PAINT) paint_dialog(window);
  return 0;
}

intptr_t frame_proc(XfWindow* window, uint32_t message, intptr_t, intptr_t) {
  if (message == ZWM_MAPPED) {
    if (window->shown == 2)
      xfUnmapWindow(window);
    else
      xfMeasureFrame(window, true);
  }
  return 0;
}

bool to_key(intptr_t mp1, FontDlgKey* key, char* text) {
  const uint32_t state = xf_key_state(mp1);
  const unsigned long keysym = xf_key_keysym(mp1);
  if (state & ControlMask) return false;
  switch (keysym) {
    case XK_Up:
    case XK_KP_Up:
      *key = FontDlgKey::up;
      return true;
    case XK_Down:
    case XK_KP_Down:
      *key = FontDlgKey::down;
      return true;
    case XK_Home:
      *key = FontDlgKey::home;
      return true;
    case XK_End:
      *key = FontDlgKey::end;
      return true;
    case XK_Prior:
      *key = FontDlgKey::page_up;
      return true;
    case XK_Next:
      *key = FontDlgKey::page_down;
      return true;
    case XK_Tab:
      *key = state & ShiftMask ? FontDlgKey::back_tab : FontDlgKey::tab;
      return true;
    case XK_ISO_Left_Tab:
      *key = FontDlgKey::back_tab;
      return true;
    case XK_space:
      *key = FontDlgKey::space;
      return true;
    case XK_Return:
    case XK_KP_Enter:
      *key = FontDlgKey::enter;
      return true;
    case XK_Escape:
      *key = FontDlgKey::escape;
      return true;
    case XK_BackSpace:
      *key = FontDlgKey::backspace;
      return true;
    default:
      break;
  }
  if (keysym < 0x20 || keysym > 0x7E) return false;
  *key = FontDlgKey::text;
  *text = static_cast<char>(keysym);
  return true;
}

// A click in the client: a list row chosen, a box toggled, a part focused.
void click(DialogWin& dw, int x, int y) {
  FontDialog& m = dw.model;
  if (kFaceList.hit(x, y)) {
    fontdlg_focus(m, FontDlgPart::faces);
    const int i = m.face_top + (y - kFaceList.y - 1) / std::max(dw.row, 1);
    if (i < static_cast<int>(m.faces.size())) fontdlg_select_face(m, i);
  } else if (kSizeList.hit(x, y)) {
    fontdlg_focus(m, FontDlgPart::sizes);
    fontdlg_select_size(m, m.size_top + (y - kSizeList.y - 1) / std::max(dw.row, 1));
  } else if (kSizeField.hit(x, y)) {
    fontdlg_focus(m, FontDlgPart::sizes);
  } else if (kBoldBox.hit(x, y)) {
    fontdlg_focus(m, FontDlgPart::bold);
    m.bold = !m.bold;
  } else if (kItalicBox.hit(x, y)) {
    fontdlg_focus(m, FontDlgPart::italic);
    m.italic = !m.italic;
  } else {
    return;
  }
  xfInvalidateRect(dw.client, nullptr);
}

FontDlgOutcome run_loop(DialogWin& dw) {
  XfMessage m{};
  while (xfGetMsg(&m, nullptr, 0, 0)) {
    switch (m.number) {
      case ZWM_LBUTTONDOWN:
        if (m.window == dw.client)
          click(dw, xf_low(m.mp1), xf_high(m.mp1));
        else if (m.window == dw.ok || m.window == dw.cancel)
          xfDispatchMsg(&m);
        break;
      case ZWM_LBUTTONUP:
        if (m.window == dw.ok || m.window == dw.cancel) xfDispatchMsg(&m);
        break;
      case ZWM_RBUTTONDOWN:
      case ZWM_MBUTTONDOWN:
        break;
      case ZWM_COMMAND:
        if (m.mp1 == kOkId) {
          if (FontChoice c; fontdlg_choice(dw.model, &c)) return FontDlgOutcome::ok;
          xfBeep();
        } else if (m.mp1 == kCancelId) {
          return FontDlgOutcome::cancel;
        }
        break;
      case ZWM_CLOSE:
        return FontDlgOutcome::cancel;
      case ZWM_CHAR: {
        FontDlgKey key{};
        char text = 0;
        if (!to_key(m.mp1, &key, &text)) break;
        const Box& list = dw.model.focus == FontDlgPart::sizes ? kSizeList : kFaceList;
        const FontDlgOutcome r = fontdlg_key(dw.model, key, text, rows_of(list, dw.row));
        if (r == FontDlgOutcome::ok) {
          if (FontChoice c; fontdlg_choice(dw.model, &c)) return r;
          xfBeep();
        } else if (r == FontDlgOutcome::cancel) {
          return r;
        }
        xfInvalidateRect(dw.client, nullptr);
        break;
      }
      default:
        xfDispatchMsg(&m);
        break;
    }
  }
  return FontDlgOutcome::cancel;
}

XfWindow* make_button(XfWindow* client, const Box& b, const char* label, int id, bool is_default) {
  XfWindow* w = xfCreateWindow(client, kButtonClass, label, 0x800004, b.x, b.y, b.w, b.h, nullptr, nullptr,
                               static_cast<uint32_t>(id));
  if (!w) return nullptr;
  xfSetWindowColors(w, xf().values.dialog, -1);
  xfSendMsg(w, ZWM_SETTEXT, 0, reinterpret_cast<intptr_t>(label));
  w->id = static_cast<uint32_t>(id);
  w->style = is_default ? 8 : 0;
  return w;
}

}  // namespace

bool font_dialog_native(uint32_t flags, const FontChoice& initial, FontChoice* out, int32_t* error) {
  if (!xf_display()) {
    *error = -2087;  // no window system: the dialog cannot be shown
    return false;
  }
  DialogWin dw;
  fontdlg_init(dw.model, flags, initial, font_system_lister());
  dw.font = label_font();
  if (dw.font && dw.font->fs) dw.row = dw.font->fs->ascent + dw.font->fs->descent + 2;
  if (dw.model.face >= 0) dw.model.face_top = std::max(dw.model.face - rows_of(kFaceList, dw.row) / 2, 0);

  XfWindow* owner = xf().main_window;
  const uint32_t deco = xf_frame_decorations(kFrameBorder | kFrameTitle);
  const uint32_t func = xf_frame_functions(kFrameBorder | kFrameTitle);
  const bool owned = owner && owner->shown == 1;
  const int32_t x = (xf().conn.width - kWidth) / 2, y = (xf().conn.height - kHeight) / 2;
  dw.frame = owned ? xfCreateOwnedFrameWindow(owner, owner, "Font", "Font", "Halvorn", x, y, kWidth, kHeight, kWidth,
                                              kHeight, kWidth, kHeight, deco, func, false)
                   : xfCreateFrameWindow(owner, owner, "Font", "Font", "Halvorn", x, y, kWidth, kHeight, kWidth,
                                         kHeight, kWidth, kHeight, deco, func, false);
  if (!dw.frame) {
    *error = -2087;
    return false;
  }
  xfSetWindowClass(XFTYPE_STDFRAME, dw.frame, owner, nullptr);
  dw.frame->proc = frame_proc;
  dw.frame->id = 1;
  dw.frame->k.frame.fixed_size = true;
  dw.frame->k.frame.pos_mode = xf().server.positioning_mode;
  xfSetWMProtocols(dw.frame);
  xfAddTopFrame(dw.frame);

  dw.client = xfCreateWindow(dw.frame, nullptr, nullptr, kStyleVisible, 0, 0, kWidth, kHeight, nullptr, nullptr, 1);
  dw.frame->k.frame.client = dw.client;
  dw.client->proc = client_proc;
  dw.client->font = const_cast<XfFont*>(dw.font);
  dw.client->user = reinterpret_cast<intptr_t>(&dw);
  dw.ok = make_button(dw.client, kOkButton, "OK", kOkId, true);
  dw.cancel = make_button(dw.client, kCancelButton, "Cancel", kCancelId, false);

  xfMapWindow(dw.frame);
  xfPushFocus();
  std::unique_ptr<bool[]> saved(new bool[static_cast<size_t>(xf_top_frame_count()) + 1]);
  xfDisableAllFrames(saved.get());
  dw.frame->enabled = true;
  xfActivateFrame(dw.frame);
  xfSetFocus(dw.client);

  const FontDlgOutcome r = run_loop(dw);
  const bool chosen = r == FontDlgOutcome::ok && fontdlg_choice(dw.model, out);

  xfRestoreAllFrames(saved.get());
  xfPopFocus();
  xfUnmapWindow(dw.frame);
  for (XfWindow* w : {dw.ok, dw.cancel, dw.client, dw.frame})
    if (w) xfPurgeWindowMsgs(w, xf_posted_queue());
  dw.client->user = 0;
  xfDestroyWindow(dw.frame);
  return chosen;
}
