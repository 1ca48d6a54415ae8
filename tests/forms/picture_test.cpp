// Picture resources: files written by the test become resources (XPM kept,
// bitmap files converted to XPM with head kind 3, anything else refused),
// the resource reader refuses short or damaged data, and images are made
// once per names entry and made again after a release.

#include <gtest/gtest.h>

// After gtest: Xlib's macros must not meet its templates.
#include <X11/xpm.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base/le.h"
#include "forms/picture.h"
#include "macro/code_cache.h"
#include "macro/names.h"
#include "tests/temp_dir.h"

namespace {

// A 40-byte-header bitmap file of w x h pixels, 24 bits, every pixel `rgb`
// (0xRRGGBB), rows bottom-up and padded to four bytes.
std::vector<uint8_t> bmp24(int32_t w, int32_t h, uint32_t rgb) {
  const uint32_t row = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
  const uint32_t image = row * static_cast<uint32_t>(h);
  std::vector<uint8_t> b(54 + image, 0);
  b[0] = 'B';
  b[1] = 'M';
  le::put_u32(&b[2], static_cast<uint32_t>(b.size()));
  le::put_u32(&b[10], 54);
  le::put_u32(&b[14], 40);
  le::put_u32(&b[18], static_cast<uint32_t>(w));
  le::put_u32(&b[22], static_cast<uint32_t>(h));
  le::put_u16(&b[26], 1);
  le::put_u16(&b[28], 24);
  le::put_u32(&b[34], image);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = &b[54 + static_cast<uint32_t>(y) * row + static_cast<uint32_t>(x) * 3];
      p[0] = rgb & 0xFF;
      p[1] = (rgb >> 8) & 0xFF;
      p[2] = (rgb >> 16) & 0xFF;
    }
  return b;
}

const char kXpm[] =
    "/* XPM */\n"
    "static char *p[] = {\n"
    "\"3 2 2 1\",\n"
    "\"a c #FF0000\",\n"
    "\"b c #0000FF\",\n"
    "\"aba\",\n"
    "\"bab\"};\n";

// Width, height and colour count as libXpm reads the text (no display).
struct XpmDims {
  unsigned w = 0, h = 0, colours = 0;
  bool ok = false;
};
XpmDims read_xpm(std::string text) {
  XpmImage image{};
  XpmDims s;
  if (XpmCreateXpmImageFromBuffer(text.data(), &image, nullptr) != XpmSuccess) return s;
  s = {image.width, image.height, image.ncolors, true};
  XpmFreeXpmImage(&image);
  return s;
}

std::vector<uint8_t> resource(uint16_t kind, const std::vector<uint8_t>& image, uint16_t reserved = 0) {
  std::vector<uint8_t> r(4 + image.size());
  le::put_u16(r.data(), kind);
  le::put_u16(r.data() + 2, reserved);
  std::copy(image.begin(), image.end(), r.begin() + 4);
  return r;
}
std::vector<uint8_t> bytes(const char* text) { return {text, text + std::char_traits<char>::length(text)}; }

class Picture : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = std::make_unique<zvxtest::TempDir>(); }
  std::string write(const std::string& name, const std::vector<uint8_t>& data) {
    const std::string path = dir_->path() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
      if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
      std::fclose(f);
    }
    return path;
  }
  std::unique_ptr<zvxtest::TempDir> dir_;
};

TEST_F(Picture, XpmFileIsStoredAsReadWithKindThree) {
  std::vector<uint8_t> data;
  ASSERT_EQ(ctl_picture_read_file(write("p.xpm", bytes(kXpm)).c_str(), &data), 0);
  ASSERT_GE(data.size(), 4u);
  EXPECT_EQ(le::get_u16(data.data()), 3);
  EXPECT_EQ(le::get_u16(data.data() + 2), 0);
  EXPECT_EQ(std::string(data.begin() + 4, data.end()), kXpm);
}

TEST_F(Picture, BitmapFileBecomesXpmText) {
  std::vector<uint8_t> data;
  ASSERT_EQ(ctl_picture_read_file(write("p.bmp", bmp24(5, 3, 0x00FF00)).c_str(), &data), 0);
  EXPECT_EQ(le::get_u16(data.data()), 3) << "a file is always stored as XPM";
  const XpmDims s = read_xpm(std::string(data.begin() + 4, data.end()));
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(s.w, 5u);
  EXPECT_EQ(s.h, 3u);
  EXPECT_EQ(s.colours, 1u);
}

TEST_F(Picture, FilesThatAreNotPicturesAreRefused) {
  std::vector<uint8_t> truncated = bmp24(4, 4, 0x123456);
  truncated.resize(60);  // the pixel rows are cut off
  std::vector<uint8_t> core = bmp24(2, 2, 0);
  le::put_u32(&core[14], 12);  // a 12-byte header
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
    std::vector<int32_t> codes;  // any of these
  };
  const Case cases[] = {
      {"plain text", bytes("hello, world\n"), {-2550}},
      {"empty file", {}, {-2550}},
      {"a PNG signature", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13}, {-2550}},
      {"a bitmap with a 12-byte header", core, {-2550}},
      {"a bitmap cut short", truncated, {-2550, -2551}},
      {"BM and nothing else", bytes("BM"), {-2550, -2551}},
      {"XPM with a NUL inside", resource(0, bytes("/* XPM */\nstatic char *p[] = {\n\"1 1 1 1\",\n")), {-2550, -2551}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> data{1, 2, 3};
    const int32_t rc = ctl_picture_read_file(write("x", c.data).c_str(), &data);
    EXPECT_NE(std::find(c.codes.begin(), c.codes.end(), rc), c.codes.end()) << rc;
    EXPECT_TRUE(data.empty()) << "nothing is handed back on failure";
  }
  std::vector<uint8_t> data;
  EXPECT_EQ(ctl_picture_read_file((dir_->path() + "/missing.xpm").c_str(), &data), -2);
}

TEST(PictureResource, HeadIsCheckedAgainstTheData) {
  struct Case {
    const char* what;
    std::vector<uint8_t> stored;
    int32_t rc;
    uint16_t kind;
    size_t image;
  };
  const Case cases[] = {
      {"empty", {}, -3000, 0, 0},
      {"shorter than the head", {3, 0, 0}, -3000, 0, 0},
      {"reserved word set", {3, 0, 1, 0, 'x'}, -3000, 0, 0},
      {"head only", {3, 0, 0, 0}, 0, 3, 0},
      {"bitmap kind", {1, 0, 0, 0, 'B', 'M'}, 0, 1, 2},
      {"unknown kind is read", {7, 1, 0, 0, 9}, 0, 0x107, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PictureResource r;
    EXPECT_EQ(ctl_picture_parse(c.stored, &r), c.rc);
    EXPECT_EQ(r.kind, c.kind);
    EXPECT_EQ(r.image.size(), c.image);
  }
}

TEST(PictureResource, ImagesAsXpmByKind) {
  struct Case {
    const char* what;
    std::vector<uint8_t> stored;
    int32_t rc;
    unsigned w, h;
  };
  std::vector<uint8_t> core = bmp24(2, 2, 0);
  le::put_u32(&core[14], 12);
  std::vector<uint8_t> with_nul = resource(3, bytes(kXpm));
  with_nul.push_back(0);  // a stored terminator
  const Case cases[] = {
      {"XPM text", resource(3, bytes(kXpm)), 0, 3, 2},
      {"XPM text with its terminator", with_nul, 0, 3, 2},
      {"bitmap file data", resource(1, bmp24(7, 2, 0xFF00FF)), 0, 7, 2},
      {"a kind of its own", resource(2, bmp24(7, 2, 0xFF00FF)), -2550, 0, 0},
      {"bitmap kind holding text", resource(1, bytes(kXpm)), -2550, 0, 0},
      {"bitmap kind with a 12-byte header", resource(1, core), -2550, 0, 0},
      {"XPM kind holding a bitmap", resource(3, bmp24(2, 2, 0)), -2551, 0, 0},
      {"XPM text with a huge size", resource(3, bytes("/* XPM */\nstatic char *p[] = {\n\"99999 99999 1 1\",\n")),
       -2550, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PictureResource r;
    ASSERT_EQ(ctl_picture_parse(c.stored, &r), 0);
    std::string xpm = "left over";
    const int32_t rc = ctl_picture_to_xpm(r, &xpm);
    if (c.rc == -2551)
      EXPECT_TRUE(rc == -2551 || rc == -2550) << rc;
    else
      EXPECT_EQ(rc, c.rc);
    if (c.rc != 0) {
      EXPECT_TRUE(xpm.empty());
      continue;
    }
    const XpmDims s = read_xpm(xpm);
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(s.w, c.w);
    EXPECT_EQ(s.h, c.h);
  }
}

// ---- the cache ----

int g_made = 0, g_freed = 0;
XfPicture* fake_make(const std::string& xpm) {
  ++g_made;
  return xpm.empty() ? nullptr : reinterpret_cast<XfPicture*>(new int(static_cast<int>(xpm.size())));
}
void fake_free(XfPicture* p) {
  ++g_freed;
  delete reinterpret_cast<int*>(p);
}

class PictureCache : public ::testing::Test {
 protected:
  void SetUp() override {
    cache_reset();
    ASSERT_EQ(name_pool_init(), 0);
    ctl_picture_set_maker(fake_make, fake_free);
    g_made = g_freed = 0;
  }
  void TearDown() override {
    ctl_picture_set_maker(nullptr, nullptr);
    EXPECT_EQ(g_made, g_freed) << "every image made is freed";
    cache_reset();
  }
  uint32_t entry(const char* name, uint32_t flags, const std::vector<uint8_t>& data) {
    NameEntry image{};
    image.flags = flags;
    const int32_t index = name_insert(name, image);
    EXPECT_GT(index, 0);
    uint8_t* block = nullptr;
    EXPECT_EQ(name_data_alloc(&block, static_cast<uint32_t>(data.size())), 0);
    std::copy(data.begin(), data.end(), block);
    name_data_replace(static_cast<uint32_t>(index), block, static_cast<uint32_t>(data.size()));
    return static_cast<uint32_t>(index);
  }
};

TEST_F(PictureCache, MadeOncePerEntryAndAgainAfterRelease) {
  const uint32_t xpm = entry("a.xpm", NF_PICTURE, resource(3, bytes(kXpm)));
  const uint32_t bmp = entry("b.bmp", NF_PICTURE, resource(1, bmp24(2, 2, 0)));
  XfPicture* first = ctl_picture_get(xpm);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ctl_picture_get(xpm), first) << "the cached image";
  EXPECT_EQ(g_made, 1);
  ASSERT_NE(ctl_picture_get(bmp), nullptr);
  EXPECT_EQ(g_made, 2);
  ctl_picture_release(xpm);
  EXPECT_EQ(g_freed, 1);
  EXPECT_NE(ctl_picture_get(xpm), nullptr);
  EXPECT_EQ(g_made, 3) << "made again after the release";
  ctl_picture_release_all();
  EXPECT_EQ(g_freed, 3);
}

TEST_F(PictureCache, OnlyPictureEntriesWithGoodDataGiveImages) {
  const uint32_t not_picture = entry("table", NF_EVENT_TABLE, resource(3, bytes(kXpm)));
  const uint32_t unknown = entry("c.xpm", NF_PICTURE, resource(9, bytes(kXpm)));
  const uint32_t damaged = entry("d.xpm", NF_PICTURE, {3, 0});
  const uint32_t bad_text = entry("e.xpm", NF_PICTURE, resource(3, bytes("not a picture")));
  for (uint32_t i : {not_picture, unknown, damaged, bad_text, 0u, 9999u}) EXPECT_EQ(ctl_picture_get(i), nullptr) << i;
  EXPECT_EQ(g_made, 0);
}

TEST_F(PictureCache, ANewPictureAtAReusedIndexIsNotTheOldImage) {
  const uint32_t a = entry("a.xpm", NF_PICTURE, resource(3, bytes(kXpm)));
  ASSERT_NE(ctl_picture_get(a), nullptr);
  name_delete(a, true);
  const uint32_t b = entry("other.xpm", NF_PICTURE, resource(1, bmp24(4, 4, 0)));
  ASSERT_EQ(b, a) << "the freed index is reused";
  ASSERT_NE(ctl_picture_get(b), nullptr);
  EXPECT_EQ(g_made, 2) << "made for the new entry";
  EXPECT_EQ(g_freed, 1) << "the old image went";
}

}  // namespace
