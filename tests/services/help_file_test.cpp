// Help files made by our compiler: loading, closing, the tables and their
// checked lookups, topic texts and their escapes, pictures, and files that
// lie about their tables.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>

#include "base/le.h"
#include "services/help_file.h"
#include "tests/services/spell_fixture.h"
#include "tests/special_files.h"
#include "tests/temp_dir.h"
#include "tools/helpc/helpc.h"

namespace {

using spelltest::read_file;
using spelltest::write_file;

const char* kSource = R"(# a small help file
@font 0 Helvetica 100
@font 1 Helvetica 100 link
@font 2 Courier 90 bold
@format 0 0 0
@format 1 0 720 1440 2880
@image 0 dot.xpm
@start Contents
@topic Contents
@keyword Contents
Welcome. See {link Keys#cursor}the cursor keys{/link} and {link keys}all keys{/link}.
{pic 0} is a dot.
@topic Keys
@keyword keys
{p 1}{f 2}Key{f 0}\tMeaning
{kw cursor}Left\tone character left
@keyword Contents
)";

const char* kXpm = "/* XPM */\nstatic char *dot[] = {\"1 1 1 1\", \"a c #000000\", \"a\"};\n";

class HelpFileTest : public ::testing::Test {
 protected:
  void SetUp() override { write_file(dir_ / "dot.xpm", kXpm); }
  void TearDown() override { help_close_file(v_); }

  std::vector<uint8_t> compile(const std::string& src) {
    std::vector<uint8_t> out;
    std::vector<HelpcDiag> diags;
    EXPECT_TRUE(helpc_compile(src, dir_.path(), out, diags)) << (diags.empty() ? "" : diags[0].message);
    return out;
  }
  std::string save(const std::vector<uint8_t>& bytes, const std::string& name = "h.hlp") {
    write_file(dir_ / name, std::string(bytes.begin(), bytes.end()));
    return dir_ / name;
  }
  static void set_word(std::vector<uint8_t>& f, int word, uint32_t value) {
    le::put_u32(f.data() + f.size() - kHelpTrailerBytes + 4 * word, value);
  }
  static uint32_t word(const std::vector<uint8_t>& f, int word) {
    return le::get_u32(f.data() + f.size() - kHelpTrailerBytes + 4 * word);
  }

  zvxtest::TempDir dir_{"zvx-help"};
  HelpViewer v_;
};

TEST_F(HelpFileTest, ACompiledFileLoadsWithItsTables) {
  ASSERT_EQ(0, help_load_file(v_, save(compile(kSource))));
  ASSERT_TRUE(help_is_open(v_));
  EXPECT_EQ(-1, v_.current_topic);
  ASSERT_EQ(2u, v_.topics.size());
  EXPECT_EQ("Contents", help_topic_name(v_, 0));
  EXPECT_EQ("Keys", help_topic_name(v_, 1));
  EXPECT_EQ(1, help_find_topic(v_, "KEYS"));
  EXPECT_EQ(-1, help_find_topic(v_, "Key"));
  ASSERT_EQ(3u, v_.fonts.size());
  EXPECT_EQ("Helvetica", help_font_face(v_, 0));
  EXPECT_EQ("Courier", help_font_face(v_, 2));
  EXPECT_EQ(kHelpFontBold, help_font(v_, 2)->style);
  EXPECT_EQ(kHelpFontLink, help_font(v_, 1)->style);
  EXPECT_EQ(90u, help_font(v_, 2)->size);
  ASSERT_EQ(2u, v_.formats.size());
  EXPECT_EQ(720u, help_format(v_, 1)->words[3]);
  EXPECT_EQ(2u, help_format_tab_count(*help_format(v_, 1)));
  EXPECT_EQ(2880u, help_format(v_, 1)->words[7]);
  EXPECT_EQ(2u, v_.names.size());  // faces are named once
  EXPECT_EQ(3u, v_.font_cache.size());
  EXPECT_EQ(1u, v_.image_cache.size());
  // Keywords of one name stand together, sorted without case.
  ASSERT_EQ(4u, v_.keywords.size());
  std::vector<std::string> names;
  for (int32_t k = 0; k < 4; ++k) names.emplace_back(help_keyword_name(v_, k));
  EXPECT_EQ((std::vector<std::string>{"Contents", "Contents", "cursor", "keys"}), names);
  EXPECT_EQ(0u, v_.trailer[HT_START_KEYWORD]);
  EXPECT_EQ(0, help_keyword_topic(v_, 0));
  EXPECT_EQ(1, help_keyword_topic(v_, 1));
  // The link leads to the keyword's place; the place is a byte offset into the raw text.
  int32_t topic = -1;
  uint32_t pos = 0;
  ASSERT_TRUE(help_link_target(v_, 0, &topic, &pos));
  EXPECT_EQ(1, topic);
  ASSERT_EQ(0, help_read_topic_text(v_, 1));
  const std::string keys(v_.text.data(), v_.text_length);
  EXPECT_EQ(keys.find("Left"), pos);
  EXPECT_EQ(v_.keywords[2].position, pos);
  ASSERT_TRUE(help_link_target(v_, 1, &topic, &pos));
  EXPECT_EQ(1, topic);
  EXPECT_EQ(0u, pos);
}

TEST_F(HelpFileTest, TopicTextsDecodeIntoFontsLinksAndPictures) {
  ASSERT_EQ(0, help_load_file(v_, save(compile(kSource))));
  ASSERT_EQ(0, help_read_topic_text(v_, 0));
  EXPECT_EQ('\0', v_.text[v_.text_length]);
  std::string shown;
  std::vector<std::pair<HelpPieceKind, uint32_t>> escapes;
  for (const auto& p : help_scan_text(std::string_view(v_.text.data(), v_.text_length))) {
    if (p.kind == HelpPieceKind::Text)
      shown += p.text;
    else
      escapes.emplace_back(p.kind, p.number);
  }
  EXPECT_EQ("Welcome. See the cursor keys and all keys.\n is a dot.", shown);
  const std::vector<std::pair<HelpPieceKind, uint32_t>> want = {
      {HelpPieceKind::Font, 1}, {HelpPieceKind::Link, 0}, {HelpPieceKind::Font, 0},   {HelpPieceKind::Font, 1},
      {HelpPieceKind::Link, 1}, {HelpPieceKind::Font, 0}, {HelpPieceKind::Picture, 0}};
  EXPECT_EQ(want, escapes);
  std::vector<uint8_t> picture;
  ASSERT_TRUE(help_read_image(v_, 0, picture));
  EXPECT_EQ(kXpm, std::string(picture.begin(), picture.end()));
  EXPECT_FALSE(help_read_image(v_, 1, picture));
  EXPECT_TRUE(picture.empty());
}

TEST_F(HelpFileTest, EscapeTable) {
  struct Case {
    std::string raw;
    std::string shown;
    std::vector<std::pair<HelpPieceKind, uint32_t>> escapes;
  } cases[] = {
      {"\x01"
       "c3 Hello",
       "Hello",
       {{HelpPieceKind::Font, 3}}},
      {"\x01"
       "c3\x01"
       "c4 x",
       "x",
       {{HelpPieceKind::Font, 3}, {HelpPieceKind::Font, 4}}},
      {"\x01"
       "c4xy",
       "y",
       {{HelpPieceKind::Font, 4}}},  // the byte after the digits goes, whatever it is
      {"a\x01\x01"
       "b",
       "a\x01"
       "b",
       {}},
      {"\x01"
       "z5",
       "5",
       {}},
      {"\x01"
       "p",
       "",
       {{HelpPieceKind::Format, 0}}},  // no digits: 0
      {"ab\x01", "ab", {}},            // cut off: the text ends
      {"ab\x01"
       "l12",
       "ab",
       {{HelpPieceKind::Link, 12}}},
      {"\x01"
       "b99999999999 x",
       "x",
       {{HelpPieceKind::Picture, 0xFFFFFFFF}}},
      {std::string("a\0b", 3), "a", {}},  // a NUL ends the text
      {"x\ty\n", "x\ty\n", {}},
  };
  for (const auto& c : cases) {
    std::string shown;
    std::vector<std::pair<HelpPieceKind, uint32_t>> escapes;
    for (const auto& p : help_scan_text(c.raw)) {
      if (p.kind == HelpPieceKind::Text)
        shown += p.text;
      else
        escapes.emplace_back(p.kind, p.number);
    }
    EXPECT_EQ(c.shown, shown) << c.raw;
    EXPECT_EQ(c.escapes, escapes) << c.raw;
  }
}

TEST_F(HelpFileTest, TrailerOnlyFilesAndVersions) {
  std::vector<uint8_t> f(80, 0);
  le::put_u32(f.data(), 1000);
  le::put_u32(f.data() + 4, 0xFFFFFFFF);
  ASSERT_EQ(0, help_load_file(v_, save(f)));
  EXPECT_TRUE(v_.topics.empty());
  EXPECT_EQ(0xFFFFFFFFu, v_.trailer[HT_START_KEYWORD]);
  EXPECT_EQ(ERR_READING_FILE, help_read_topic_text(v_, 0));
  le::put_u32(f.data(), 999);
  EXPECT_EQ(1, help_load_file(v_, save(f)));
  EXPECT_FALSE(help_is_open(v_));
  EXPECT_TRUE(v_.name.empty());
  EXPECT_EQ(ERR_READING_FILE, help_load_file(v_, save(std::vector<uint8_t>(79, 0))));
  EXPECT_EQ(ERR_FILE_NOT_FOUND, help_load_file(v_, dir_ / "none.hlp"));
  EXPECT_FALSE(help_is_open(v_));
}

// Whatever else stands under a help file's name gives an error at once,
// and the viewer holds no file afterwards.
TEST_F(HelpFileTest, SpecialFilesInPlaceOfTheHelpFileGiveAnErrorAtOnce) {
  struct Case {
    zvxtest::Special kind;
    ErrorCode want;
  };
  const Case cases[] = {
      {zvxtest::Special::Directory, ERR_ACCESS_DENIED},
      {zvxtest::Special::Fifo, ERR_ACCESS_DENIED},
      {zvxtest::Special::DevZero, ERR_ACCESS_DENIED},
      {zvxtest::Special::Garbage, 1},  // its trailer names no version of ours
      {zvxtest::Special::Empty, ERR_READING_FILE},
  };
  const std::string path = dir_ / "zorvex.hlp";
  for (const zvxtest::SpecialCase& s : zvxtest::kSpecialFiles) {
    SCOPED_TRACE(s.name);
    ErrorCode want = -9999;
    for (const Case& c : cases)
      if (c.kind == s.kind) want = c.want;
    zvxtest::make_special(path, s.kind);
    zvxtest::Watchdog watch(std::string("help_load_file of ") + s.name);
    EXPECT_EQ(want, help_load_file(v_, path));
    EXPECT_FALSE(help_is_open(v_));
  }
  // Past its bound a file is not even looked into.
  ASSERT_EQ(0, ::truncate(path.c_str(), (int64_t{64} << 20) + 1));
  EXPECT_EQ(ERR_INSUFFICIENT_MEMORY, help_load_file(v_, path));
}

TEST_F(HelpFileTest, TablesOutsideTheFileAreRefused) {
  const std::vector<uint8_t> good = compile(kSource);
  struct Case {
    const char* what;
    int word;
    uint32_t value;
  } cases[] = {
      {"keyword offset past the end", HT_KEYWORD_OFFSET, 0x7FFFFFF0},
      {"keyword count past the end", HT_KEYWORD_COUNT, 1000},
      {"topic count whose size overflows 32 bits", HT_TOPIC_COUNT, 0x40000000},
      {"format count times 92 overflowing", HT_FORMAT_COUNT, 0xFFFFFFFF},
      {"pool reaching into the trailer and past", HT_POOL_SIZE, 0x10000},
      {"image table past the end", HT_IMAGE_OFFSET, static_cast<uint32_t>(good.size())},
      {"name table of 2^30 entries", HT_NAME_COUNT, 0x40000000},
      {"reserved table past the end", HT_RESERVED_COUNT, 100},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> f = good;
    set_word(f, c.word, c.value);
    EXPECT_EQ(ERR_READING_FILE, help_load_file(v_, save(f))) << c.what;
    EXPECT_FALSE(help_is_open(v_)) << c.what;
    EXPECT_TRUE(v_.topics.empty() && v_.fonts.empty() && v_.keywords.empty()) << c.what;
  }
  // A table ending exactly at the end of the file is fine.
  std::vector<uint8_t> f = good;
  set_word(f, HT_RESERVED_COUNT, 20);
  set_word(f, HT_RESERVED_OFFSET, static_cast<uint32_t>(f.size() - 80));
  EXPECT_EQ(0, help_load_file(v_, save(f)));
  EXPECT_EQ(20u, v_.reserved.size());
}

TEST_F(HelpFileTest, IndicesOutsideTheirTablesAreAbsent) {
  std::vector<uint8_t> f = compile(kSource);
  const uint32_t keywords = word(f, HT_KEYWORD_OFFSET), links = word(f, HT_LINK_OFFSET),
                 topics = word(f, HT_TOPIC_OFFSET), fonts = word(f, HT_FONT_OFFSET),
                 formats = word(f, HT_FORMAT_OFFSET), pool = word(f, HT_POOL_SIZE);
  le::put_u32(f.data() + keywords + 4, 77);             // keyword 0's topic
  le::put_u32(f.data() + keywords + 12, pool + 5);      // keyword 1's name
  le::put_u32(f.data() + links, 5);                     // link 0's topic
  le::put_u32(f.data() + fonts + 16, 9);                // font 1's face
  le::put_u32(f.data() + formats + 92 + 20, 1000);      // format 1's tab count
  le::put_u32(f.data() + topics + 12 + 4, 0x7FFFFF00);  // topic 1's text offset
  le::put_u32(f.data() + topics + 8, 0xFFFFFFFF);       // topic 0's text length: plus one wraps in 32 bits
  ASSERT_EQ(0, help_load_file(v_, save(f)));
  EXPECT_EQ(-1, help_keyword_topic(v_, 0));
  EXPECT_EQ("", help_keyword_name(v_, 1));
  int32_t t = 0;
  uint32_t p = 0;
  EXPECT_FALSE(help_link_target(v_, 0, &t, &p));
  EXPECT_FALSE(help_link_target(v_, 2, &t, &p));
  EXPECT_FALSE(help_link_target(v_, -1, &t, &p));
  EXPECT_EQ("", help_font_face(v_, 1));
  EXPECT_EQ(nullptr, help_font(v_, 3));
  EXPECT_EQ(nullptr, help_format(v_, 2));
  EXPECT_EQ(17u, help_format_tab_count(*help_format(v_, 1)));
  EXPECT_EQ(ERR_READING_FILE, help_read_topic_text(v_, 1));
  EXPECT_EQ(1, help_read_topic_text(v_, 0));
  EXPECT_EQ(-1, v_.current_topic);
  // A pool string without its NUL ends at the end of the pool.
  v_.pool.back() = 'x';
  const uint32_t last = static_cast<uint32_t>(v_.pool.size() - 1);
  EXPECT_EQ("x", help_pool_string(v_, last));
  EXPECT_EQ("", help_pool_string(v_, last + 1));
}

TEST_F(HelpFileTest, DamagedPicturesGiveNone) {
  std::vector<uint8_t> f = compile(kSource);
  const uint32_t images = word(f, HT_IMAGE_OFFSET);
  struct Case {
    const char* what;
    int field;
    uint32_t value;
  } cases[] = {
      {"expanded size larger than the data gives", 2, static_cast<uint32_t>(std::strlen(kXpm) + 1)},
      {"expanded size smaller", 2, 3},
      {"stored size cut", 1, 2},
      {"data past the end of the file", 0, 0x7FFFFFFF},
      {"stored size past the end", 1, 0xFFFFFFF0},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> g = f;
    le::put_u32(g.data() + images + 4 * c.field, c.value);
    ASSERT_EQ(0, help_load_file(v_, save(g))) << c.what;
    std::vector<uint8_t> picture;
    EXPECT_FALSE(help_read_image(v_, 0, picture)) << c.what;
    EXPECT_TRUE(picture.empty()) << c.what;
  }
}

TEST_F(HelpFileTest, LoadingAgainClosesTheFirstFile) {
  const std::string a = save(compile(kSource), "a.hlp");
  const std::string b = save(compile("@topic Only\ntext\n"), "b.hlp");
  ASSERT_EQ(0, help_load_file(v_, a));
  EXPECT_EQ(a, v_.name);
  const int repaints = v_.repaints;
  ASSERT_EQ(0, help_load_file(v_, b));
  EXPECT_GT(v_.repaints, repaints);
  EXPECT_EQ(b, v_.name);
  ASSERT_EQ(1u, v_.topics.size());
  ASSERT_EQ(0, help_read_topic_text(v_, 0));
  EXPECT_EQ("text", std::string(v_.text.data(), v_.text_length));
  EXPECT_EQ(2u, v_.fonts.size());  // the default table
  help_close_file(v_);
  EXPECT_FALSE(help_is_open(v_));
  EXPECT_TRUE(v_.name.empty());
  help_close_file(v_);  // without a file: only clears
  EXPECT_EQ(-1, v_.current_topic);
}

TEST_F(HelpFileTest, CompilerErrors) {
  struct Case {
    const char* source;
    int line;
    const char* message;
  } cases[] = {
      {"text\n@topic A\n", 1, "text before the first @topic"},
      {"@topic A\n{link B}x{/link}\n", 2, "unknown topic \"B\""},
      {"@topic A\n{link A#k}x{/link}\n", 2, "no keyword \"k\""},
      {"@topic A\n{link A}x\n@topic B\n", 3, "not closed"},
      {"@topic A\n{f 5}\n", 2, "no font 5"},
      {"@font 0 H 100\n@topic A\n{link A}x{/link}\n", 3, "link style"},
      {"@font 1 H 100\n", 1, "in order"},
      {"@format 0 0 0 10 5\n", 1, "rising"},
      {"@image 0 none.xpm\n", 1, "cannot be read"},
      {"@topic A\n{pic 0}\n", 2, "no image 0"},
      {"@topic A\n@topic a\n", 2, "twice"},
      {"@start Nope\n@topic A\n", 2, "@start names no keyword"},
      {"@bogus\n", 1, "unknown or incomplete directive"},
      {"@topic A\n{what}\n", 2, "unknown tag {what}"},
      {"@topic A\n{f 0\n", 2, "not closed on its line"},
      {"# nothing\n", 1, "no @topic"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> out;
    std::vector<HelpcDiag> diags;
    EXPECT_FALSE(helpc_compile(c.source, dir_.path(), out, diags)) << c.source;
    ASSERT_FALSE(diags.empty()) << c.source;
    EXPECT_EQ(c.line, diags[0].line) << c.source;
    EXPECT_NE(std::string::npos, diags[0].message.find(c.message)) << c.source << ": " << diags[0].message;
  }
  // Escaped braces, tabs and a literal 0x01 come through as text.
  ASSERT_EQ(0, help_load_file(v_, save(compile("@topic A\n\\{a\\}\\t\x01 9\n"))));
  ASSERT_EQ(0, help_read_topic_text(v_, 0));
  std::string shown;
  for (const auto& p : help_scan_text(std::string_view(v_.text.data(), v_.text_length))) shown += p.text;
  EXPECT_EQ("{a}\t\x01 9", shown);
}

}  // namespace
