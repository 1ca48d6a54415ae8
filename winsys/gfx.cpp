#include "winsys/gfx.h"
#include "base/mem.h"

#include "winsys/colours.h"
#include "winsys/ctl_draw.h"
#include "winsys/draw.h"
#include "winsys/font_names.h"
#include "winsys/images.h"
#include "winsys/present.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

void free_gfx(XfGfx* g) { delete g; }

}  // namespace

XfGfx::~XfGfx() {
  // Only our side: the server's fonts go with xf_gfx_shutdown or with the
  // connection.
  for (XfFont* f : fonts.records) {
    if (f->fs) XFreeFontInfo(nullptr, f->fs, 1);
    mem_free(f);
  }
  pool_release(&fl.cache);
  for (RecordPool& p : fl.aliases) pool_release(&p);
}

XfGfx& xg() {
  XfSystem& s = xf();
  if (!s.gfx) {
    s.gfx = new XfGfx();
    s.free_gfx = free_gfx;
  }
  return *s.gfx;
}

void xf_gfx_shutdown() {
  XfSystem& s = xf();
  if (!s.gfx) return;
  Display* d = s.conn.display;
  XfGfx& g = *s.gfx;
  if (g.ps.root_ps) xfFreePresentSpace(static_cast<PresentSpace*>(g.ps.root_ps));
  g.ps.root_ps = nullptr;
  if (d) {
    if (g.images.scratch) XFreePixmap(d, g.images.scratch);
    if (g.images.scratch_gc) XFreeGC(d, g.images.scratch_gc);
    if (g.images.picture_gc) XFreeGC(d, g.images.picture_gc);
  }
  g.images.scratch = 0;
  g.images.scratch_gc = g.images.picture_gc = nullptr;
  xfFreeControlGc();
  xfFreeAllGcs();
  xfFreeFonts();
  delete s.gfx;
  s.gfx = nullptr;
}

void xf_gfx_start() {
  xfFontMapperInit();
  const XfDefaultFonts& f = xf_defaults();
  if (!f.fixed_name.empty()) {
    xfSetFixedFace(f.fixed_name.c_str(), static_cast<int32_t>(f.size));
    xfSetPropFace(f.prop_name.c_str(), static_cast<int32_t>(f.size));
  }
  if (!xg().ps.root_ps && xf_display()) xg().ps.root_ps = xfCreatePresentSpace(nullptr);
  xfInitImages();
}
