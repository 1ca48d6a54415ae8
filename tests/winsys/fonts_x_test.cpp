// Fonts on a private Xvfb with Debian's core fonts: opening by face and
// size through the pattern chain, the cache by name, aliases from a
// fonts.alias directory added with `xset fp+`, the font list against
// `xlsfonts`, and the metrics the display measures with.
#include <unistd.h>

#include <X11/Xatom.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/temp_dir.h"
#include "tests/winsys/gfx_fixture.h"
#include "winsys/draw.h"
#include "winsys/font_names.h"
#include "winsys/fonts.h"
#include "winsys/xfont.h"

namespace {

using gfxtest::XDraw;
using namespace std::chrono_literals;

std::string resolved(Display* d, const XfFont* f) {
  unsigned long atom = 0;
  if (!f || !XGetFontProperty(f->fs, XA_FONT, &atom)) return {};
  char* s = XGetAtomName(d, atom);
  std::string r = s ? s : "";
  XFree(s);
  return r;
}

std::string charset_of(const std::string& xlfd) {
  size_t dashes = 0;
  for (size_t i = 0; i < xlfd.size(); ++i)
    if (xlfd[i] == '-' && ++dashes == 13) return xlfd.substr(i + 1);
  return {};
}

class Fonts : public XDraw {};

TEST_F(Fonts, AFaceAndSizeOpenThroughThePatternsAndAreCachedByName) {
  FontRequest r{};
  FontAttrs a{};
  WinMakeFontRequest(&r, "adobe-courier", 120, 400, 0);
  ASSERT_EQ(WinCreateFont(&a, &r), 1);
  ASSERT_NE(a.font, nullptr);
  EXPECT_STREQ(a.face, "adobe-courier");
  EXPECT_EQ(a.length, 280);
  EXPECT_EQ(resolved(d, a.font), "-Adobe-Courier-Medium-R-Normal--12-120-75-75-M-70-ISO8859-1");
  EXPECT_EQ(a.font->spacing, 'm');
  EXPECT_EQ(a.font->weight, 'n');
  int32_t records = xf_font_record_count();

  FontAttrs again{};
  WinCreateFont(&again, &r);
  EXPECT_EQ(again.font, a.font) << "the second request is a cache hit";
  EXPECT_EQ(xf_font_record_count(), records);

  WinMakeFontRequest(&r, "Courier", 100, 700, 2);
  FontAttrs bold{};
  WinCreateFont(&bold, &r);
  EXPECT_EQ(bold.selection, kSelBold | kSelItalic);
  EXPECT_EQ(bold.font->weight, 'b');
  EXPECT_EQ(bold.font->slant, 'i');
  EXPECT_NE(resolved(d, bold.font).find("-Adobe-Courier-Bold-O-"), std::string::npos) << resolved(d, bold.font);
}

TEST_F(Fonts, AMissingFaceFallsBackToALatinOneFontNeverATwoByteOne) {
  FontRequest r{};
  FontAttrs a{};
  WinMakeFontRequest(&r, "nosuchface", 120, 400, 0);
  WinCreateFont(&a, &r);
  ASSERT_NE(a.font, nullptr);
  EXPECT_STREQ(a.face, "secondTryFont");
  std::string cs = charset_of(resolved(d, a.font));
  EXPECT_TRUE(cs == "ISO8859-1" || cs == "ISO10646-1") << resolved(d, a.font);
  EXPECT_EQ(a.font->fs->min_byte1, 0u);

  // Every start-up fallback pattern that opens gives a font that draws
  // ASCII from row 0.
  for (const std::string& p : xf_defaults().fallback) {
    XfFont* f = xfOpenFont(p.c_str());
    if (!f) continue;
    EXPECT_EQ(f->fs->min_byte1, 0u) << p;
    if (p != "fixed") {
      EXPECT_EQ(f->fs->max_byte1, 0u) << p << " -> " << resolved(d, f);
    }
  }
}

TEST_F(Fonts, NamesTheServerResolvesAlikeShareOneRecord) {
  XfFont* fixed = xfOpenFont("fixed");
  ASSERT_NE(fixed, nullptr);
  std::string name = resolved(d, fixed);
  ASSERT_FALSE(name.empty());
  int32_t records = xf_font_record_count();
  XfFont* same = xfOpenFont(name.c_str());
  EXPECT_EQ(same, fixed);
  EXPECT_EQ(xf_font_record_count(), records);
  EXPECT_EQ(xfOpenFont("no-such-font-at-all"), nullptr);
  EXPECT_EQ(xf_font_record_count(), records) << "a failed open leaves the cache as it was";
  EXPECT_EQ(xf_x_error_count(), 0u) << "a missing font raises no X error";
}

TEST_F(Fonts, BoldIsReadFromTheWeightName) {
  // The numeric WEIGHT property of Debian's bitmap fonts is the same for
  // medium and bold: names that leave the weight open must still know.
  XfFont* bold = xfOpenFont("9x15bold");
  XfFont* plain = xfOpenFont("9x15");
  ASSERT_NE(bold, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(bold->weight, 'b');
  EXPECT_EQ(plain->weight, 'n');
  EXPECT_EQ(xfFontStyle(bold) & 1, 1);
  XfFont* pattern = xfOpenFont("-adobe-helvetica-*-r-normal--12-120-75-75-p-*-iso8859-1");
  ASSERT_NE(pattern, nullptr);
  std::string name = resolved(d, pattern);
  EXPECT_EQ(pattern->weight, name.find("-Bold-") != std::string::npos ? 'b' : 'n') << name;
  EXPECT_EQ(pattern->spacing, 'p') << "the spacing of a proportional font";
}

TEST_F(Fonts, AnAliasDirectoryAddedWithXsetMapsItsAlias) {
  zvxtest::TempDir dir;
  {
    std::ofstream(dir.path() + "/fonts.dir") << "0\n";
    std::ofstream(dir.path() + "/fonts.alias")
        << "! a comment\nzvxtestalias -adobe-courier-bold-r-normal--12-120-75-75-m-70-iso8859-1\n";
  }
  auto run = [&](std::vector<std::string> argv) {
    auto p = server->spawn(argv);
    auto status = p->wait_exit(10s);
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
  };
  ASSERT_TRUE(run({"/usr/bin/xset", "fp+", dir.path()}));
  ASSERT_TRUE(run({"/usr/bin/xset", "fp", "rehash"}));

  ASSERT_NE(xfAliasLookup("zvxtestalias"), nullptr);
  EXPECT_STREQ(xfAliasLookup("zvxtestalias"), "-adobe-courier-bold-r-normal--12-120-75-75-m-70-iso8859-1");
  EXPECT_NE(xfAliasLookup("fixed"), nullptr) << "Debian's own fonts.alias, its '!' comments skipped";
  EXPECT_EQ(xfAliasLookup("!!"), nullptr);
  XfFont rec{};
  ASSERT_EQ(xfAliasRecord("zvxtestalias", &rec), 0);
  EXPECT_EQ(rec.weight, 'b');
  EXPECT_STREQ(rec.foundry, "alias");
  XfFont* f = xfOpenFont("-alias-zvxtestalias-medium-r-*-*-*-120-75-75-*-*-iso8859-1");
  ASSERT_NE(f, nullptr) << "an alias family opens the alias itself";
  EXPECT_EQ(resolved(d, f), "-Adobe-Courier-Bold-R-Normal--12-120-75-75-M-70-ISO8859-1");
  ASSERT_TRUE(run({"/usr/bin/xset", "fp-", dir.path()}));
}

TEST_F(Fonts, TheFontListCountsTheNonScalableNamesXlsfontsLists) {
  auto p = server->spawn({"/usr/bin/xlsfonts"});
  std::vector<std::string> names;
  while (auto line = p->read_line(10s)) names.push_back(*line);
  ASSERT_GT(names.size(), 1000u);
  size_t scalable = 0;
  for (const std::string& n : names) {
    // fields 7, 8 and 12 all zero
    std::vector<std::string> f;
    size_t start = 1;
    for (size_t i = 1; i <= n.size() && n[0] == '-'; ++i) {
      if (i == n.size() || n[i] == '-') {
        f.push_back(n.substr(start, i - start));
        start = i + 1;
      }
    }
    if (f.size() >= 14 && f[6] == "0" && f[7] == "0" && f[11] == "0") ++scalable;
  }
  std::vector<XfFontListEntry> entries;
  int32_t count = 0;
  ASSERT_EQ(xfListFonts(&entries, INT32_MAX, &count), 0);
  EXPECT_EQ(static_cast<size_t>(count), names.size() - scalable);
  EXPECT_EQ(xfFontCount('a'), static_cast<int32_t>(names.size()));
  EXPECT_EQ(xfFontCount('l'), count);

  bool courier12 = false;
  for (const XfFontListEntry& e : entries) {
    if (std::string(e.foundry_family) == "adobe-courier" && e.point_size == 120 && e.res_y == 75) {
      courier12 = true;
      EXPECT_EQ(e.pixel_height, 12);
      EXPECT_EQ(e.monospaced, 1);
      EXPECT_EQ(e.charset, 32);
    }
  }
  EXPECT_TRUE(courier12);
  EXPECT_EQ(xfFamilyFlags("adobe-courier") & 1, 1);
  EXPECT_EQ(xfFamilyFlags("adobe-helvetica") & 1, 0);
  EXPECT_STREQ(xfFoundryOfFamily("courier"), "adobe");
  EXPECT_EQ(font_face_type("adobe-courier"), 8 | 256) << "fixed pitch, and scalable names exist";
  EXPECT_EQ(xfFamilyIsScalable("adobe-courier"), 1);
  EXPECT_EQ(font_face_type("nosuch-family"), 0);
}

TEST_F(Fonts, TheDialogListGivesDesktopFacesFirstAndEachFaceOnce) {
  std::vector<std::string> got;
  auto collect = [](void* ctx, const std::string& text) {
    static_cast<std::vector<std::string>*>(ctx)->push_back(text);
  };
  font_enum_for_dialog(1 | 4, nullptr, collect, &got);
  ASSERT_GT(got.size(), 10u);
  EXPECT_EQ(got[0], " OEM Fixed Font");
  EXPECT_EQ(got[1], " courier");
  EXPECT_NE(got[2], " System") << "flag 4 leaves the proportional names out";
  std::vector<std::string> sorted(got.begin() + 2, got.end());
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "each face once";
  EXPECT_NE(std::find(sorted.begin(), sorted.end(), " adobe-courier"), sorted.end());

  got.clear();
  font_enum_for_dialog(0, "courier", collect, &got);
  EXPECT_EQ(got, std::vector<std::string>{" 12"}) << "the default fixed size of a desktop face";
  got.clear();
  font_enum_for_dialog(0, "adobe-courier", collect, &got);
  EXPECT_NE(std::find(got.begin(), got.end(), " 12"), got.end());
  EXPECT_NE(std::find(got.begin(), got.end(), " 18"), got.end());
  got.clear();
  font_enum_for_dialog(8, "adobe-courier", collect, &got);
  EXPECT_NE(std::find(got.begin(), got.end(), "  7 x 12"), got.end()) << "width x height with flag 8";
  EXPECT_EQ(font_dialog(0, "adobe-courier", 12, 0, 0), -2087) << "there is no dialog";
}

TEST_F(Fonts, TheCacheAnswersTheSameSlotAndMetricsMatchTheFont) {
  FontDescription desc = font_description("adobe-courier", 12, 0);
  int32_t slot = font_cache_find(&desc);
  ASSERT_GE(slot, 0);
  FontDescription other = font_description("adobe-helvetica", 12, 1);
  int32_t slot2 = font_cache_find(&other);
  ASSERT_GE(slot2, 0);
  EXPECT_NE(slot, slot2);
  EXPECT_EQ(font_cache_find(&desc), slot);
  EXPECT_EQ(font_cache_last_hit(), slot);
  EXPECT_EQ(font_cache_find(&desc), slot) << "the last-hit path";
  const FontAttrs* a = font_cache_attrs(slot);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(font_cache_attrs(-1), nullptr);

  XfWindow* w = window();
  DrawContext ctx{};
  WinGetPS(&ctx, w);
  WinSelectFont(nullptr, &ctx, a);
  FontMetrics m{};
  WinQueryFontMetrics(&ctx, &m);
  // adobe courier 12 at 75 dpi: 7 pixels a character, cell 13 high.
  EXPECT_EQ(m.max_width, 7);
  EXPECT_EQ(m.avg_width, 7) << "pixels (the record keeps tenths)";
  EXPECT_EQ(m.variable_pitch, 0);
  EXPECT_EQ(m.height, m.ascent + m.descent);
  EXPECT_GE(m.height, 12);
  EXPECT_EQ(m.break_char, 32);
  EXPECT_EQ(WinQueryTextWidth(&ctx, "0123456789", 10), 70);
  int32_t widths[256];
  WinQueryCharWidths(&ctx, widths);
  EXPECT_EQ(widths['A'], 7);
  EXPECT_EQ(widths['i'], 7);
  int32_t overhang = -1;
  EXPECT_EQ(WinGetTextWidth(&ctx, "abc", 3, &overhang), 21);
  EXPECT_EQ(overhang, 0);
  int32_t size[2];
  WinGetTextExtent(&ctx, "abc", 3, size);
  EXPECT_EQ(size[0], 21);

  FontDescription italic = font_description("adobe-courier", 12, 2);
  WinSelectFont(nullptr, &ctx, font_cache_attrs(font_cache_find(&italic)));
  int32_t width = WinGetTextWidth(&ctx, "abc", 3, &overhang);
  EXPECT_EQ(overhang, WinQueryFontHeight(&ctx) * 100 / 205);
  EXPECT_GT(overhang, 0);
  EXPECT_EQ(width, 21 - overhang);
  WinReleasePS(&ctx);
}

TEST_F(Fonts, ScreenMetricsComeFromTheResolutionAndTheDialogFont) {
  WinInitScreenMetrics();
  XfScreenMetrics m = xf_screen_metrics();
  EXPECT_EQ(m.ppi_x, 75);
  EXPECT_EQ(m.twips_x, 19);
  EXPECT_EQ(m.twips_y, 19);
  EXPECT_GE(m.dialog_x, 1);
  EXPECT_LE(m.dialog_x, 19);
  EXPECT_EQ(m.width, 1024);
}

TEST_F(Fonts, SystemFontTwoBecomesTheFontOfNewPresentationSpaces) {
  WinSetSysFont(2, "adobe-courier", 140, 1);
  std::string face;
  int32_t size = 0;
  uint32_t style = 0;
  WinQuerySysFont(2, &face, &size, &style);
  EXPECT_EQ(face, "adobe-courier");
  EXPECT_EQ(size, 140);
  EXPECT_EQ(style, 1u);
  PresentSpace* ps = xfCreatePresentSpace(nullptr);
  ASSERT_NE(ps->font, nullptr);
  EXPECT_EQ(ps->font, xf_sys_font_record(2));
  EXPECT_EQ(ps->font->weight, 'b');
  xfFreePresentSpace(ps);
  WinQuerySysFont(3, &face, &size, &style);
  EXPECT_EQ(face, "fixed") << "an element never set";
  EXPECT_EQ(size, 100);
}

}  // namespace
