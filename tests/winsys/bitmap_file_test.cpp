// Bitmap files without a server: a table of small valid and malformed
// files made by the writer gives each file's kind or error code, the XPM
// text of the conversion, and that text parsed back by libXpm.
#include <gtest/gtest.h>
#include <unistd.h>

#include <X11/xpm.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/special_files.h"
#include "tests/temp_dir.h"
#include "tests/winsys/bitmap_file_writer.h"
#include "winsys/bitmap_file.h"

namespace {

using bmptest::BmpSpec;
using bmptest::write_bmp;

BmpSpec spec(uint16_t bpp, int32_t w, int32_t h) {
  BmpSpec s;
  s.bpp = bpp;
  s.width = w;
  s.height = h;
  return s;
}

struct Case {
  const char* what;
  std::vector<uint8_t> data;
  int result;  // 0: valid
  int kind;
  int convert;  // the conversion's result
};

std::vector<Case> cases() {
  std::vector<Case> c;
  auto add = [&](const char* what, BmpSpec s, int result, int kind, int convert) {
    c.push_back({what, write_bmp(s), result, kind, convert});
  };
  add("1 bit, width 33", spec(1, 33, 2), 0, 2, 0);
  add("4 bits", spec(4, 5, 3), 0, 2, 0);
  add("8 bits", spec(8, 4, 2), 0, 2, 0);
  add("24 bits", spec(24, 3, 2), 0, 2, 0);
  BmpSpec h64 = spec(8, 3, 3);
  h64.header_size = 64;
  add("64-byte header", h64, 0, 5, 0);
  BmpSpec h12 = spec(8, 3, 3);
  h12.header_size = 12;
  add("12-byte header", h12, 0, 4, -2550);
  BmpSpec rle = spec(8, 4, 4);
  rle.compression = 1;
  rle.image_size = 10;
  rle.pixel_bytes = 10;
  add("RLE8", rle, 0, 2, -2550);
  BmpSpec fields = spec(16, 4, 2);
  fields.compression = 3;
  fields.table_entries = 3;
  fields.pixel_bytes = 16;
  add("16-bit bit fields", fields, 0, 2, -2550);
  BmpSpec many = spec(1, 8, 2);
  many.colours_used = 1000000;
  add("1 bit claiming a million colours", many, 0, 2, 0);

  add(
      "8 bits, palette short of 256",
      [] {
        BmpSpec s = spec(8, 4, 2);
        s.table_entries = 100;
        return s;
      }(),
      -2551, 0, -2551);
  add("negative height", spec(8, 4, -2), -2551, 0, -2551);
  add("negative width and height", spec(8, -4, -2), -2551, 0, -2551);
  add("width 0", spec(8, 0, 2), -2551, 0, -2551);
  add(
      "width 100000",
      [] {
        BmpSpec s = spec(8, 100000, 1);
        s.pixel_bytes = 100000;
        return s;
      }(),
      -2550, 0, -2550);
  add(
      "truncated pixels",
      [] {
        BmpSpec s = spec(8, 4, 2);
        s.pixel_bytes = 7;
        return s;
      }(),
      -2551, 0, -2551);
  add(
      "trailing bytes",
      [] {
        BmpSpec s = spec(8, 4, 2);
        s.pixel_bytes = 9;
        return s;
      }(),
      -2551, 0, -2551);
  add(
      "a gap before the pixels",
      [] {
        BmpSpec s = spec(24, 4, 2);
        s.offset_delta = 4;
        return s;
      }(),
      -2551, 0, -2551);
  add(
      "header size 108",
      [] {
        BmpSpec s = spec(8, 4, 2);
        s.header_size = 108;
        return s;
      }(),
      -2550, 0, -2550);
  add(
      "two planes",
      [] {
        BmpSpec s = spec(8, 4, 2);
        s.planes = 2;
        return s;
      }(),
      -2550, 0, -2550);
  add(
      "2 bits per pixel",
      [] {
        BmpSpec s = spec(2, 4, 2);
        s.table_entries = 4;
        s.pixel_bytes = 8;
        return s;
      }(),
      -2550, 0, -2550);
  add(
      "RLE with image size 0",
      [] {
        BmpSpec s = spec(8, 4, 2);
        s.compression = 1;
        s.pixel_bytes = 0;
        return s;
      }(),
      -2551, 0, -2551);
  add(
      "compression 5",
      [] {
        BmpSpec s = spec(8, 4, 2);
        s.compression = 5;
        s.pixel_bytes = 8;
        return s;
      }(),
      -2550, 0, -2550);
  std::vector<uint8_t> head = write_bmp(spec(8, 4, 2));
  head.resize(53);
  c.push_back({"BM under 54 bytes", head, -2551, 0, -2551});
  c.push_back({"one byte", {'B'}, -2551, 0, -2551});
  c.push_back({"neither BM nor XPM", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, -2551, 0, -2551});
  std::string xpm = "/* XPM */\nstatic char *x[]={\n\"1 1 1 1\",\n\". c #ff0000\",\n\".\"};\n";
  c.push_back({"XPM text", std::vector<uint8_t>(xpm.begin(), xpm.end()), 0, 3, -2551});
  return c;
}

TEST(BitmapFiles, EachFileGivesItsKindOrItsError) {
  for (const Case& c : cases()) {
    int kind = -1;
    EXPECT_EQ(xfImageFileKind(&kind, c.data.data(), c.data.size()), c.result) << c.what;
    if (c.result == 0) {
      EXPECT_EQ(kind, c.kind) << c.what;
    }
    std::vector<char> out;
    size_t length = 99;
    EXPECT_EQ(xfBitmapToXpm(&out, &length, c.data.data(), c.data.size(), 2, "pic"), c.convert) << c.what;
    if (c.convert != 0) {
      EXPECT_EQ(length, 0u) << c.what;
    }
  }
  std::vector<uint8_t> ok = write_bmp(spec(8, 4, 2));
  std::vector<char> out;
  size_t length = 0;
  EXPECT_EQ(xfBitmapToXpm(&out, &length, ok.data(), ok.size(), 4, "pic"), -2550) << "a kind that is not converted";
  EXPECT_EQ(xfBitmapToXpm(&out, &length, ok.data(), ok.size(), 1, "pic"), 0) << "stored picture data, checked";
  std::vector<uint8_t> bad = ok;
  bad.resize(bad.size() - 3);
  EXPECT_EQ(xfBitmapToXpm(&out, &length, bad.data(), bad.size(), 1, "pic"), -2551)
      << "stored picture data is checked against its real length too";
}

TEST(BitmapFiles, AOneBitFileBecomesExactXpmText) {
  BmpSpec s = spec(1, 2, 2);
  s.pixel = [](int32_t x, int32_t y) { return static_cast<uint32_t>(x != y); };
  s.palette = [](uint32_t i) { return i ? 0xFFFFFFu : 0x102030u; };
  std::vector<uint8_t> bmp = write_bmp(s);
  std::vector<char> out;
  size_t length = 0;
  ASSERT_EQ(xfBitmapToXpm(&out, &length, bmp.data(), bmp.size(), 2, "9lives", 5), 0);
  ASSERT_EQ(out.size(), 5 + length + 1);
  EXPECT_EQ(std::string(out.data(), 5), std::string(5, '\0')) << "the head room";
  EXPECT_EQ(out.back(), '\0') << "terminated";
  EXPECT_EQ(
      std::string(out.data() + 5, length),
      "/* XPM */\nstatic char *_lives[]={\n\"2 2 2 1\",\n\"# c #102030\",\n\"$ c #ffffff\",\n\"#$\",\n\"$#\"};\n");
}

TEST(BitmapFiles, EightBitsListTheColoursUsedAndPadTheValuesLine) {
  BmpSpec s = spec(8, 4, 2);
  const uint32_t idx[2][4] = {{2, 0, 2, 1}, {1, 1, 0, 2}};
  s.pixel = [idx](int32_t x, int32_t y) { return idx[y][x]; };
  s.palette = [](uint32_t i) { return 0x100000u * i + 0xAB; };
  std::vector<uint8_t> bmp = write_bmp(s);
  std::vector<char> out;
  size_t length = 0;
  ASSERT_EQ(xfBitmapToXpm(&out, &length, bmp.data(), bmp.size(), 2, "p"), 0);
  std::string text(out.data(), length);
  EXPECT_EQ(text,
            "/* XPM */\nstatic char *p[]={\n\"4 2 3 2\",  \n"
            "\"#% c #2000ab\",\n\"## c #0000ab\",\n\"#$ c #1000ab\",\n"
            "\"#%###%#$\",\n\"#$#$###%\"};\n");
}

// Parses XPM text with libXpm (no display needed) and answers the colour of
// each pixel as "#rrggbb" text.
std::vector<std::string> parse(const std::string& text, unsigned* w, unsigned* h) {
  XpmImage image{};
  std::string copy = text;
  if (XpmCreateXpmImageFromBuffer(copy.data(), &image, nullptr) != XpmSuccess) return {};
  *w = image.width;
  *h = image.height;
  std::vector<std::string> out;
  for (unsigned i = 0; i < image.width * image.height; ++i) out.emplace_back(image.colorTable[image.data[i]].c_color);
  XpmFreeXpmImage(&image);
  return out;
}

TEST(BitmapFiles, ConvertedTextParsesBackToTheSamePixels) {
  struct Case {
    uint16_t bpp;
    int32_t w, h;
    uint32_t colours_used;
  };
  for (Case c : {Case{1, 33, 3, 0}, Case{4, 7, 3, 0}, Case{8, 9, 4, 0}, Case{8, 5, 2, 3}, Case{24, 6, 3, 0}}) {
    BmpSpec s = spec(c.bpp, c.w, c.h);
    s.colours_used = c.colours_used;
    uint32_t top = c.bpp == 24 ? 0xFFFFFF : (1u << c.bpp) - 1;
    // Indexes up to the top of the table (8 bits: 200, beyond a small
    // colours-used field); colours for 24 bits.
    s.pixel = [&](int32_t x, int32_t y) {
      uint32_t v = static_cast<uint32_t>(x * 37 + y * 101) * 2654435761u;
      return c.bpp == 24 ? v % top : (x == 0 && y == 0 ? (c.bpp == 8 ? 200u : top) : v % (top + 1));
    };
    s.palette = [](uint32_t i) { return (i * 0x0A0B0Cu) & 0xFFFFFF; };
    std::vector<uint8_t> bmp = write_bmp(s);
    std::vector<char> out;
    size_t length = 0;
    ASSERT_EQ(xfBitmapToXpm(&out, &length, bmp.data(), bmp.size(), 2, "p"), 0) << c.bpp;
    std::string text(out.data(), length);
    if (c.bpp == 24) {
      EXPECT_NE(text.find(" 5\","), std::string::npos) << "five characters per pixel";
    }
    unsigned w = 0, h = 0;
    std::vector<std::string> colours = parse(text, &w, &h);
    ASSERT_EQ(colours.size(), static_cast<size_t>(c.w * c.h)) << c.bpp << "\n" << text;
    EXPECT_EQ(w, static_cast<unsigned>(c.w));
    for (int32_t y = 0; y < c.h; ++y) {
      for (int32_t x = 0; x < c.w; ++x) {
        uint32_t v = s.pixel(x, y);
        uint32_t rgb = c.bpp == 24 ? v : s.palette(v);
        char want[8];
        std::snprintf(want, sizeof want, "#%06x", rgb);
        ASSERT_EQ(colours[static_cast<size_t>(y * c.w + x)], want) << c.bpp << " at " << x << "," << y;
      }
    }
  }
}

TEST(BitmapFiles, NamesAndCodes) {
  EXPECT_EQ(xf_xpm_name("9lives"), "_lives");
  EXPECT_EQ(xf_xpm_name("a-b.c$d_1"), "a_b_c$d_1");
  EXPECT_EQ(xf_xpm_name(""), "_");
  EXPECT_EQ(xpm_code(0, 1), "#");
  EXPECT_EQ(xpm_code(56, 1), "[");
  EXPECT_EQ(xpm_code(57, 2), "$#");
  EXPECT_EQ(xpm_code(0xFFFFFF, 5).size(), 5u);
}

TEST(XpmChecks, TextIsRefusedBeforeLibXpmSeesIt) {
  struct Case {
    std::string text;
    int result;
  };
  const std::string good = "/* XPM */\nstatic char *x[]={\n\"2 1 1 1\",\n\". c #ff0000\",\n\"..\"};\n";
  const Case cases[] = {
      {good, 0},
      {"/* XPM */\nstatic char *x[]={\n\"40000 1 1 1\",\n\". c red\",\n\".\"};\n", -2550},
      {"/* XPM */\nstatic char *x[]={\n\"5000 5000 1 1\",\n\". c red\",\n\".\"};\n", -2550},
      {"/* XPM */\nstatic char *x[]={\n\"2 1 1 9\",\n\". c red\",\n\"..\"};\n", -2551},
      {"/* XPM */\nstatic char *x[]={\n\"2 1 1 1\",\n\". c red\",\n\"", 0},  // left to libXpm
      {"/* XPM */\nstatic char *x[]={\n\"a b c d\"};\n", -2551},
      {"/* XPM */\nno brace at all", -2551},
      {"/* XPM */\nstatic char *x[]={\n\"200 200 1 1\",\n\". c red\",\n\".\"};\n", -2551},
      {good + std::string(1, '\0') + "\"..\"", -2551},
  };
  for (const Case& c : cases) EXPECT_EQ(xf_xpm_check(c.text.data(), c.text.size()), c.result) << c.text;
  XfPicture* p = nullptr;
  EXPECT_EQ(xfXpmToPicture(nullptr, &p, good.data(), good.size(), 2), -2550) << "a kind that is no XPM";
}

TEST(BitmapFiles, FilesAreReadWithHeadRoomAndATerminator) {
  zvxtest::TempDir dir;
  std::string path = dir / "a.bmp";
  std::vector<uint8_t> bmp = write_bmp(spec(8, 4, 2));
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
  std::vector<char> buf;
  size_t size = 0;
  ASSERT_EQ(xfReadImageFile(path.c_str(), &buf, &size, 16), 0);
  EXPECT_EQ(size, bmp.size());
  ASSERT_EQ(buf.size(), 16 + size + 1);
  EXPECT_EQ(std::memcmp(buf.data() + 16, bmp.data(), size), 0);
  EXPECT_EQ(buf.back(), '\0');
  EXPECT_EQ(xfReadImageFile((dir / "missing.bmp").c_str(), &buf, &size, 0), -2);
}

// What stands in a picture's place and is no regular file is refused at
// once; a file larger than any picture shown is not read.
TEST(BitmapFiles, SpecialFilesInPlaceOfAPictureAreRefusedAtOnce) {
  zvxtest::TempDir dir;
  const std::string path = dir / "p.bmp";
  struct Case {
    zvxtest::Special kind;
    int want;
  };
  const Case cases[] = {
      {zvxtest::Special::Directory, -5},
      {zvxtest::Special::Fifo, -5},
      {zvxtest::Special::DevZero, -5},
      {zvxtest::Special::Empty, 0},
  };
  for (const Case& c : cases) {
    zvxtest::make_special(path, c.kind);
    zvxtest::Watchdog watch("xfReadImageFile");
    std::vector<char> buf;
    size_t size = 1;
    EXPECT_EQ(xfReadImageFile(path.c_str(), &buf, &size, 0), c.want) << static_cast<int>(c.kind);
    EXPECT_EQ(size, 0u);
  }
  ASSERT_EQ(0, ::truncate(path.c_str(), kMaxPictureFileBytes + 1));
  std::vector<char> buf;
  size_t size = 0;
  EXPECT_EQ(xfReadImageFile(path.c_str(), &buf, &size, 0), kErrInvalidBitmap);
}

}  // namespace
