// The tag parser through a fake editor: snippets and their tag lines,
// searches that move the cursor, the Java configuration, and real sources
// nobody here wrote.
#include "services/tag_parse.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/services/tag_fake_api.h"

namespace {

using tagfake::ed;
using V = std::vector<std::string>;

class TagParseTest : public ::testing::Test {
 protected:
  void SetUp() override { tagfake::reset(); }
  void TearDown() override { tagfake::reset(); }
};

struct Snippet {
  const char* source;
  V tags;
};

TEST_F(TagParseTest, CSnippetsListTheirTags) {
  const Snippet cases[] = {
      {"int main(int argc) { return 0; }", {"main(proc)"}},
      {"int main(int argc);", {"main(proto)"}},
      {"static int counter = 0;", {"counter(gvar)"}},
      {"int a, b;", {"a(gvar)", "b(gvar)"}},
      {"typedef struct node { int v; } NODE;", {"NODE(typedef)", "node(struct)"}},
      {"struct point;", {"point(struct)"}},
      {"enum color { RED, GREEN = 2 };", {"color(enum)", "RED(enumc)", "GREEN(enumc)"}},
      {"class K { public: void f(); int g() { return 1; } int m; };", {"K(class)", "f(K:proto)", "g(K:proc)"}},
      {"void K::f() { }", {"f(K:proc)"}},
      {"K::~K() { }", {"~K(K:proc)"}},
      {"#define X 1\n", {"X(define)"}},
      {"#define LONG(a) \\\n  ((a) + \\\n   1)\nint after;\n", {"LONG(define)", "after(gvar)"}},
      {"int (*fp)(int);", {"fp(gvar)"}},
      // Beyond the snippets: typedefs, unions, K&R bodies, extern "C".
      {"typedef unsigned long XID;", {"XID(typedef)"}},
      {"typedef int (*handler)(int);", {"handler(typedef)"}},
      {"typedef int func(int);", {"func(typedef)"}},
      {"union u { int i; float f; } uv;", {"uv(gvar)", "u(union)"}},
      {"typedef enum { A, B, } E;", {"A(enumc)", "B(enumc)", "E(typedef)"}},
      {"int f(a, b) int a; char b; { return a; }\nint g;", {"f(proc)", "g(gvar)"}},
      {"extern \"C\" {\nint f(void);\n}\n", {"f(proto)"}},
      {"struct s *make(void);", {"make(proto)"}},
      {"char *names[] = { \"a\", \"b\" }, *last;", {"names(gvar)", "last(gvar)"}},
      {"#include <stdio.h>\n#if X \\\n  && Y\nint n;\n#endif\n", {"n(gvar)"}},
      {"/* int hidden; */ // int gone;\nint seen;", {"seen(gvar)"}},
      {"std::string s;", {"s(gvar)"}},
      {"class K { K(int); ~K(); enum E { X }; struct in { int a; }; int h(); };",
       {"K(class)", "K(K:proto)", "~K(K:proto)", "E(K:enum)", "X(K:enumc)", "h(K:proto)"}},
      {"int f() {\n  if (x) {\n}\nint g() { }\n", {"f(proc)", "g(proc)"}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.tags, tagfake::list(c.source)) << c.source;
}

TEST_F(TagParseTest, JavaListsClassesAndMethodsButNotPackages) {
  const Snippet cases[] = {
      {"class A { public void run() { } }", {"A(class)", "run(A:proc)"}},
      {"package a.b;\nimport java.util.*;\npublic class B {\n  public final int n = 1;\n  void go(int x) { }\n}\n",
       {"B(class)", "go(B:proc)"}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.tags, tagfake::list(c.source, true)) << c.source;
  // The Java words are plain identifiers again for C afterwards.
  EXPECT_EQ((V{"public(gvar)"}), tagfake::list("int public;"));
  EXPECT_EQ((V{}), tagfake::list("int public;", true));
}

TEST_F(TagParseTest, AnOutputWindowGetsIndentedLinesThroughIt) {
  tagfake::list("int x;\nint y;\n", false, 7);
  ASSERT_EQ(2u, ed().inserted.size());
  EXPECT_EQ(7, ed().inserted[0].first);
  EXPECT_EQ(" x(gvar)", ed().inserted[0].second);
  EXPECT_EQ(" y(gvar)", ed().inserted[1].second);
}

TEST_F(TagParseTest, LinesAreInsertedOnlyAfterTheSourceWasRead) {
  // Inserting while reading would move the text under the reader.
  ed().text = "int a;\nint b;\n";
  ed().args = {0, 0, 0};
  auto a = tagfake::api();
  a.insert_line = [](int32_t, const char* t, int32_t n) {
    ed().inserted.emplace_back(0, std::string(t, static_cast<size_t>(n)));
    ed().text.insert(0, std::string(t, static_cast<size_t>(n)) + "\n");
    return 0;
  };
  tag_api_bind(a);
  ed().read_chunk = 3;
  EXPECT_EQ(0, zxc_list_tags(0, "", ""));
  EXPECT_EQ((V{"a(gvar)"}), V{ed().inserted[0].second});
  EXPECT_EQ(2u, ed().inserted.size());
}

TEST_F(TagParseTest, SearchSeeksToAProcAndGoesToTheLineOfOthers) {
  const std::string src = "int x;\n\nvoid K::f() { }\nenum c { RED };\nint f() { }\n";
  ed().text = src;
  ed().vars[100] = "f(K:proc)";
  ed().args = {100, 101, 102};
  ASSERT_EQ(0, c_proc_search(100, 1, 102));
  ASSERT_EQ(1u, ed().prompts.size());
  EXPECT_EQ("seek " + std::to_string(src.find("void K::f")), ed().prompts[0]);
  EXPECT_EQ("f(K:proc)", ed().vars[100]);

  ed().vars[100] = "RED(enumc)";
  ASSERT_EQ(0, c_proc_search(100, 1, 102));
  EXPECT_EQ(4, ed().props[107]);
  EXPECT_EQ(1, ed().props[109]);
  EXPECT_EQ(1u, ed().prompts.size());

  // A name alone finds each definition in turn, then nothing.
  ed().vars[100] = "f";
  ASSERT_EQ(0, c_proc_search(100, 1, 102));
  EXPECT_EQ("f(K:proc)", ed().vars[100]);
  ed().vars[100] = "f";
  ASSERT_EQ(0, c_proc_search(100, 0, 102));
  EXPECT_EQ("f(proc)", ed().vars[100]);
  EXPECT_EQ("seek " + std::to_string(src.find("int f()")), ed().prompts.back());
  EXPECT_EQ(-3022, c_proc_search(100, 0, 102));
  EXPECT_EQ("f(proc)", ed().vars[100]);
}

TEST_F(TagParseTest, SearchValuesThatCannotMatch) {
  ed().text = "int f() { }\n";
  ed().args = {100, 101, 102};
  struct Case {
    const char* value;
    int32_t rc;
  } cases[] = {{"f(proc", -3022}, {"g", -3022}, {"f(gvar)", -3022}, {"(proc)", 0}, {"", 0}};
  for (const auto& c : cases) {
    ed().vars[100] = c.value;
    ed().reads = 0;
    EXPECT_EQ(c.rc, c_proc_search(100, 1, 102)) << c.value;
  }
  // A long class and type survives whole in the result, so the same value
  // finds the next match.
  const std::string cls(60, 'C');
  ed().text = "void " + cls + "::f() { }\nvoid " + cls + "::f() { }\n";
  ed().vars[100] = "f(" + cls + ":proc)";
  ASSERT_EQ(0, c_proc_search(100, 1, 102));
  EXPECT_EQ("f(" + cls + ":proc)", ed().vars[100]);
  EXPECT_EQ(0, c_proc_search(100, 0, 102));
}

TEST_F(TagParseTest, AStartOffsetCountsLinesAndOffsetsOfTheWholeBuffer) {
  const std::string src = "int a() { }\nint b() { }\nint c() { }\n";
  ed().text = src;
  ed().vars[100] = "c";
  ed().vars[103] = std::to_string(src.find("int b"));
  ed().props[107] = 2;
  ed().args = {100, 101, 102, 103};
  ASSERT_EQ(0, c_proc_search(100, 1, 102));
  EXPECT_EQ("seek " + std::to_string(src.find("int c")), ed().prompts.back());
  ed().vars[100] = "a";
  EXPECT_EQ(-3022, c_proc_search(100, 1, 102));
}

TEST_F(TagParseTest, ListingAFileAndAMissingOne) {
  char tmpl[] = "/tmp/zvx-tag-XXXXXX";
  const char* dir = ::mkdtemp(tmpl);
  ASSERT_NE(nullptr, dir);
  const std::string path = std::string(dir) + "/a.c";
  std::ofstream(path) << "int from_file(void) { }\n";
  ed().args = {0, 0, 0};
  EXPECT_EQ(0, zxc_list_tags(5, path.c_str(), ""));
  ASSERT_EQ(1u, ed().inserted.size());
  EXPECT_EQ(0, ed().inserted[0].first);  // a file's tags go to the current window
  EXPECT_EQ("from_file(proc)", ed().inserted[0].second);
  EXPECT_EQ(-2, zxc_list_tags(0, (std::string(dir) + "/none.c").c_str(), ""));
  ::unlink(path.c_str());
  ::rmdir(dir);
}

TEST_F(TagParseTest, TheLibraryAnswersToItsNamesOnly) {
  EXPECT_TRUE(tag_library_names("cparse.dll"));
  EXPECT_TRUE(tag_library_names("/some/dir/CParse.DLL"));
  EXPECT_FALSE(tag_library_names("cparse"));
  EXPECT_FALSE(tag_library_names("cparse.dll.bak"));
  EXPECT_EQ(TagEntryKind::Search, tag_library_proc("C_PROC_SEARCH").kind);
  EXPECT_EQ(&java_proc_search, tag_library_proc("java_proc_search").search);
  EXPECT_EQ(&zxjava_list_tags, tag_library_proc("ZXJava_List_Tags").list);
  EXPECT_EQ(TagEntryKind::None, tag_library_proc("c-proc-search").kind);
  ASSERT_EQ(0, tag_register_prototypes());
  EXPECT_EQ((V{"int c_proc_search(ZXHREFVAR,int,ZXHVAR)", "int zxc_list_tags(int,ZXPSZ,ZXPSZ)",
               "int java_proc_search(ZXHREFVAR,int,ZXHVAR)", "int zxjava_list_tags(int,ZXPSZ,ZXPSZ)"}),
            ed().exported);
}

// Every line a real source gives has the tag form.
void expect_tag_lines(const std::string& path, const V& lines) {
  static const std::regex form(
      R"(^[~A-Za-z_$][^()]*\(([A-Za-z_$][A-Za-z_$0-9]*:)?(define|enum|enumc|class|proto|proc|gvar|struct|typedef|union)\)$)");
  for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, form)) << path << ": " << l;
}

std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

TEST_F(TagParseTest, RealHeadersAndExamplesParseToTagLines) {
  std::vector<std::string> files = {"/usr/include/X11/Xlib.h", "/usr/include/zlib.h", "/usr/include/stdio.h"};
  if (DIR* d = ::opendir("/usr/share/doc/zlib1g-dev/examples")) {
    while (dirent* e = ::readdir(d)) {
      const std::string n = e->d_name;
      if (n.size() > 2 && n.substr(n.size() - 2) == ".c") files.push_back("/usr/share/doc/zlib1g-dev/examples/" + n);
    }
    ::closedir(d);
  }
  int parsed = 0;
  for (const auto& f : files) {
    struct stat st {};
    if (::stat(f.c_str(), &st) != 0) continue;
    ++parsed;
    const V lines = tagfake::list(slurp(f));
    EXPECT_FALSE(lines.empty()) << f;
    expect_tag_lines(f, lines);
  }
  if (parsed == 0) GTEST_SKIP() << "no system headers installed";
  // Known definitions in Xlib.h.
  struct stat st {};
  if (::stat("/usr/include/X11/Xlib.h", &st) == 0) {
    const V lines = tagfake::list(slurp("/usr/include/X11/Xlib.h"));
    for (const char* want :
         {"Display(typedef)", "XEvent(typedef)", "_XDisplay(struct)", "ConnectionNumber(define)", "XKeyEvent(typedef)"})
      EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), want)) << want;
  }
  // zpipe.c defines def, inf and main.
  if (::stat("/usr/share/doc/zlib1g-dev/examples/zpipe.c", &st) == 0) {
    const V lines = tagfake::list(slurp("/usr/share/doc/zlib1g-dev/examples/zpipe.c"));
    for (const char* want : {"def(proc)", "inf(proc)", "zerr(proc)", "main(proc)", "CHUNK(define)"})
      EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), want)) << want;
  }
}

}  // namespace
