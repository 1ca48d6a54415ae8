// Font names without a server: XLFD records, resolutions, patterns, alias
// files and synthetic alias sizes, the face mapping and the translations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "winsys/font_names.h"
#include "winsys/fonts.h"
#include "winsys/xfont.h"
#include "winsys/xfsys.h"

namespace {

class FontNames : public ::testing::Test {
 protected:
  void SetUp() override { xf_reset(); }
  void TearDown() override { xf_reset(); }
};

TEST_F(FontNames, XlfdNamesParseIntoTheirFields) {
  XfFont f{};
  ASSERT_EQ(xfParseXlfd("-adobe-courier-medium-r-normal--12-120-75-75-m-70-iso8859-1", &f), 0);
  EXPECT_STREQ(f.foundry, "adobe");
  EXPECT_STREQ(f.family, "courier");
  EXPECT_EQ(f.weight, 'n');
  EXPECT_EQ(f.slant, 'n');
  EXPECT_EQ(f.setwidth, 'n');
  EXPECT_EQ(f.pixel_size, 12);
  EXPECT_EQ(f.point_size, 120);
  EXPECT_EQ(f.res_x, 75);
  EXPECT_EQ(f.res_y, 75);
  EXPECT_EQ(f.spacing, 'm');
  EXPECT_EQ(f.avg_width, 70);
  EXPECT_STREQ(f.charset, "iso8859-1");
  EXPECT_EQ(f.scalable, 0u);

  f = XfFont{};
  ASSERT_EQ(xfParseXlfd("-adobe-helvetica-bold-o-normal--0-0-0-0-p-0-iso8859-1", &f), 0);
  EXPECT_EQ(f.weight, 'b');
  EXPECT_EQ(f.slant, 'i');
  EXPECT_EQ(f.spacing, 'p');
  EXPECT_EQ(f.scalable, 1u);

  f = XfFont{};
  ASSERT_EQ(xfParseXlfd("-misc-fixed-bold-r-condensed--13-120-75-75-c-60-iso10646-1", &f), 0);
  EXPECT_EQ(f.setwidth, 'o');
  EXPECT_EQ(f.weight, 'b') << "the set width leaves the weight as parsed";
  EXPECT_EQ(f.spacing, 'c');

  f = XfFont{};
  ASSERT_EQ(xfParseXlfd("-*-*-*-*-*-*-*-*-*-*-*-*-*-*", &f), 0);
  EXPECT_EQ(f.weight, '*');
  EXPECT_EQ(f.pixel_size, 0) << "a '*' number ends as 0";
  EXPECT_EQ(f.res_x, 75) << "the screen's resolution (75 without a server)";
  EXPECT_EQ(f.scalable, 0u) << "'*' fields are not zeros in the name";
}

TEST_F(FontNames, MalformedNamesFailAndLongFieldsAreCut) {
  struct Case {
    const char* name;
    const char* why;
  };
  const Case bad[] = {
      {"-adobe-courier-medium-r-normal--12-120-75-75-m-70-iso8859", "thirteen fields"},
      {"adobe-courier-medium-r-normal--12-120-75-75-m-70-iso8859-1", "no leading '-'"},
      {"-adobe-courier-medium-r-normal--x12-120-75-75-m-70-iso8859-1", "a pixel size that is no number"},
      {"-adobe-courier-medium-r-normal--12-120-75-75-m-99999999999-iso8859-1", "an average width that overflows"},
      {"", "empty"},
      {"fixed", "an alias"},
  };
  for (const Case& c : bad) {
    XfFont f{};
    EXPECT_EQ(xfParseXlfd(c.name, &f), -1) << c.why;
  }
  std::string family(300, 'q');
  std::string name = "-foundry-" + family + "-medium-r-normal--12-120-75-75-m-70-iso8859-1";
  XfFont f{};
  ASSERT_EQ(xfParseXlfd(name.c_str(), &f), 0);
  EXPECT_EQ(std::strlen(f.family), static_cast<size_t>(kFontFieldCap - 1)) << "cut to the field's room";
}

TEST_F(FontNames, ResolutionsSnapAndAZeroSizedScreenIsSeventyFiveDpi) {
  struct Case {
    int px, mm;
    int32_t dpi;
  };
  const Case cases[] = {{1024, 347, 75},  {1280, 325, 100}, {1024, 260, 100},
                        {1600, 300, 135}, {1024, 0, 75},    {1024, -5, 75}};
  for (const Case& c : cases) {
    int32_t x = 0, y = 0;
    xf_resolution_of(c.px, c.mm, c.px, c.mm, &x, &y);
    EXPECT_EQ(x, c.dpi) << c.px << " px on " << c.mm << " mm";
    EXPECT_EQ(y, c.dpi);
  }
}

TEST_F(FontNames, PatternsCarryTheirFieldsAndACharset) {
  struct Case {
    const char* face;
    uint32_t flags;
    int32_t size, height, width, res;
    bool any_w, any_s, any_r;
    const char* pattern;
  };
  const Case cases[] = {
      {"adobe-courier", 0, 120, 0, 0, 75, false, false, false, "-adobe-courier-medium-r-*-*-*-120-75-75-*-*-iso8859-1"},
      {"adobe-courier", 8 | 16, 100, 0, 0, 100, false, false, false,
       "-adobe-courier-bold-o-*-*-*-100-100-100-*-*-iso8859-1"},
      {"adobe-courier", 8, 1500, 0, 0, 75, true, true, true, "-adobe-courier-*-*-*-*-*-1000-*-*-*-*-iso8859-1"},
      {"Courier", 0, 120, 0, 0, 75, false, false, false, "-adobe-courier-medium-r-*-*-*-120-75-75-*-*-iso8859-1"},
      {"MS Sans Serif", 0, 120, 0, 0, 75, false, false, false,
       "-adobe-helvetica-medium-r-*-*-*-120-75-75-*-*-iso8859-1"},
      {"lucida", 0, 120, 0, 0, 75, false, false, false, "-*-lucida-medium-r-*-*-*-120-75-75-*-*-iso8859-1"},
      {"adobe-courier", 0, 0, 13, 7, 75, false, false, false, "-adobe-courier-medium-r-*-*-13-*-75-75-*-7-iso8859-1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(xfMakeFontPattern(c.face, c.flags, c.size, c.height, c.width, c.res, c.res, c.any_w, c.any_s, c.any_r),
              c.pattern)
        << c.face;
  }
  FontRequest r{};
  WinMakeFontRequest(&r, "nosuchface", 120, 700, 2);
  auto tries = xf_font_patterns(&r);
  ASSERT_EQ(tries.size(), 13u);
  for (size_t i = 0; i + 1 < tries.size(); ++i)
    EXPECT_TRUE(tries[i].pattern.ends_with(i % 2 ? "-iso10646-1" : "-iso8859-1")) << tries[i].pattern;
  EXPECT_EQ(tries[0].pattern, "-*-nosuchface-bold-o-*-*-*-120-75-75-*-*-iso8859-1");
  EXPECT_EQ(tries[2].pattern, "-*-nosuchface-bold-o-*-*-*-120-100-100-*-*-iso8859-1");
  EXPECT_EQ(tries[4].pattern, "-*-nosuchface-bold-*-*-*-*-120-75-75-*-*-iso8859-1");
  EXPECT_EQ(tries[6].pattern, "-*-nosuchface-*-*-*-*-*-120-75-75-*-*-iso8859-1");
  EXPECT_EQ(tries[8].pattern, "-*-nosuchface-*-*-*-*-*-120-*-*-*-*-iso8859-1");
  EXPECT_EQ(tries[10].pattern, "-*-*-bold-o-*-*-*-120-75-75-*-*-iso8859-1");
  EXPECT_STREQ(tries[10].face, "secondTryFont");
  EXPECT_EQ(tries[12].pattern, "fixed");
}

TEST_F(FontNames, AliasFilesSkipCommentsKeepTheFirstDefinitionAndCutQuotes) {
  std::string text =
      "!! xfonts-base.alias comment line\n"
      "  ! indented comment\n"
      "fixed        -misc-fixed-medium-r-semicondensed--13-120-75-75-c-60-iso8859-1\n"
      "quoted \"-misc-fixed-bold-r-normal--13-120-75-75-c-70-iso8859-1\"\n"
      "noblank\n"
      "has-dash -misc-fixed-medium-r-normal--13-120-75-75-c-70-iso8859-1\n"
      "nodash fixed\n"
      "fixed -misc-fixed-bold-r-normal--18-120-100-100-c-90-iso8859-1\r\n";
  text += "huge " + std::string(3000, 'x') + "\n";
  xf_parse_font_aliases(text.data(), text.size());
  std::string later = "fixed -adobe-courier-medium-r-normal--12-120-75-75-m-70-iso8859-1\n";
  xf_parse_font_aliases(later.data(), later.size());
  ASSERT_NE(xfAliasLookup("fixed"), nullptr);
  EXPECT_STREQ(xfAliasLookup("fixed"), "-misc-fixed-medium-r-semicondensed--13-120-75-75-c-60-iso8859-1");
  ASSERT_NE(xfAliasLookup("quoted"), nullptr);
  EXPECT_STREQ(xfAliasLookup("quoted"), "-misc-fixed-bold-r-normal--13-120-75-75-c-70-iso8859-1");
  for (const char* absent : {"!!", "!", "noblank", "has-dash", "nodash", "huge"})
    EXPECT_EQ(xfAliasLookup(absent), nullptr) << absent;
}

TEST_F(FontNames, AliasRecordsTakeTheirTargetOrASizeFromTheirDigits) {
  std::string text = "zvxmono -misc-fixed-medium-r-normal--20-200-75-75-c-100-iso8859-1\n";
  xf_parse_font_aliases(text.data(), text.size());
  struct Case {
    const char* name;
    int32_t point;
  };
  const Case cases[] = {{"9x15bold", 150}, {"10x20", 200},   {"fixed", 120},
                        {"6x200", 60},     {"200x300", 120}, {"zvxmono", 200}};
  for (const Case& c : cases) {
    XfFont f{};
    ASSERT_EQ(xfAliasRecord(c.name, &f), 0) << c.name;
    EXPECT_EQ(f.point_size, c.point) << c.name;
    EXPECT_STREQ(f.foundry, "alias");
    EXPECT_STREQ(f.family, c.name);
  }
  XfFont f{};
  EXPECT_EQ(xfAliasRecord("-misc-fixed", &f), -1) << "a broken XLFD is no alias";
  EXPECT_EQ(xfAliasRecord("", &f), -1);
  ASSERT_EQ(xfAliasRecord("olglyph-10", &f), 0) << "a server name that is no XLFD";
  EXPECT_EQ(f.point_size, 100);
}

TEST_F(FontNames, DesktopFacesMapOntoTheDefaultFaces) {
  struct Case {
    const char* face;
    const char* mapped;
  };
  const Case cases[] = {{"MS Sans Serif", "adobe-helvetica"},
                        {"OEM Fixed Font", "adobe-courier"},
                        {"courier", "adobe-courier"},
                        {"System", "adobe-helvetica"},
                        {"Lucida", "lucida"},
                        {"courier new", "courier new"}};
  for (const Case& c : cases) EXPECT_EQ(xfMapFaceName(c.face), c.mapped) << c.face;
  EXPECT_EQ(xfFaceToFoundryFamily("b&h-lucida"), "b&h-lucida");
  EXPECT_EQ(xfFaceToFoundryFamily("lucida"), "*-lucida") << "no foundry known without a server";

  char face[256] = "System Fixed Font";
  int32_t size = 100;
  xfSetFixedFace("adobe-courier", 140);
  font_map_face(0, face, &size);
  EXPECT_STREQ(face, "adobe-courier");
  EXPECT_EQ(size, 140) << "the default face's size comes with it";
}

TEST_F(FontNames, TranslationsReplaceTheFaceOrFaceAndSize) {
  ASSERT_EQ(font_alias_add(0, "Helv", 0, "helvetica", 0), 0);
  ASSERT_EQ(font_alias_add(0, "Tms", 100, "times", 140), 0);
  struct Case {
    int32_t table;
    const char* face;
    int32_t size;
    const char* out_face;
    int32_t out_size;
  };
  const Case cases[] = {
      {0, "helv", 80, "helvetica", 80}, {0, "HELV", 240, "helvetica", 240}, {0, "tms", 100, "times", 140},
      {0, "Tms", 120, "Tms", 120},      {1, "Helv", 80, "Helv", 80},        {0, "Helvetica", 80, "Helvetica", 80},
  };
  for (const Case& c : cases) {
    char face[256];
    std::strcpy(face, c.face);
    int32_t size = c.size;
    font_alias_lookup(c.table, face, &size);
    EXPECT_STREQ(face, c.out_face) << c.face << " " << c.size;
    EXPECT_EQ(size, c.out_size) << c.face << " " << c.size;
  }
  EXPECT_EQ(font_alias_add(3, "a", 0, "b", 0), 1) << "no such table";
}

TEST_F(FontNames, RequestsAndDescriptionsKeepTheirBits) {
  FontRequest r{};
  WinMakeFontRequest(&r, "adobe-courier", 120, 700, 2 | 8 | 4 | 1);
  EXPECT_EQ(r.size, 120);
  EXPECT_EQ(r.height, 0);
  EXPECT_EQ(r.italic, 2);
  EXPECT_EQ(r.underline, 8);
  EXPECT_EQ(r.strike_out, 4);
  WinMakeFontRequest(&r, "x", static_cast<int32_t>(0x80000000u | 7u << 16 | 13u), 400, 0);
  EXPECT_EQ(r.size, 0);
  EXPECT_EQ(r.height, 13);
  EXPECT_EQ(r.width, 7);

  FontDescription a = font_description("adobe-courier", 10, 1);
  FontDescription b = font_description("adobe-courier", 10, 1);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "descriptions made alike compare alike";
  std::string long_face(100, 'f');
  FontDescription c = font_description(long_face.c_str(), 10, 0);
  EXPECT_EQ(std::strlen(c.face), 63u);
}

TEST_F(FontNames, ScreenMetricFactorsNeverDropBelowOne) {
  struct Case {
    int32_t fx, fy, w1, w2, h;
    int32_t out_x, out_y;
  };
  const Case cases[] = {
      {19, 19, 100, 100, 9, 19, 19},    // everything fits at 75 dpi
      {19, 19, 110, 100, 9, 18, 18},    // 2000 / 19 = 105 < 110
      {19, 19, 100, 100, 12, 19, 15},   // 182 / 15 = 12: only the vertical factor
      {19, 19, 5000, 5000, 500, 1, 1},  // nothing fits: the factors stay 1
  };
  for (const Case& c : cases) {
    int32_t fx = c.fx, fy = c.fy;
    xf_dialog_factors(&fx, &fy, c.w1, c.w2, c.h);
    EXPECT_EQ(fx, c.out_x) << c.w1 << " " << c.w2 << " " << c.h;
    EXPECT_EQ(fy, c.out_y) << c.w1 << " " << c.w2 << " " << c.h;
  }
  EXPECT_EQ(xf_italic_overhang(20), 9);
}

}  // namespace
