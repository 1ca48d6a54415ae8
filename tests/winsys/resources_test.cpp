// X resources and the start-up decisions that need no server: the reader
// switch, the user's file over the application defaults, number and
// keyword parsing, the server and visual tables, default fonts.
#include "winsys_fixture.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "winsys/resources.h"
#include "winsys/xinit.h"

namespace wstest {
namespace {

// A HOME and an app-defaults directory of this test; the environment is
// put back afterwards.
class Resources : public WinsysTest {
 protected:
  void SetUp() override {
    WinsysTest::SetUp();
    base = ::testing::TempDir() + "zvxres_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name();
    home = base + "/home";
    defaults = base + "/app-defaults";
    mkdir(base.c_str(), 0700);
    mkdir(home.c_str(), 0700);
    mkdir(defaults.c_str(), 0700);
    save("HOME");
    save("ZORVEXUSEXRESOURCE");
    setenv("HOME", home.c_str(), 1);
    xf_set_app_defaults_dir(defaults.c_str());
  }
  void TearDown() override {
    for (auto& [name, value] : saved) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    xf_set_app_defaults_dir("/usr/lib/X11/app-defaults");
    std::remove((home + "/Halvorn").c_str());
    std::remove((defaults + "/Halvorn").c_str());
    rmdir(home.c_str());
    rmdir(defaults.c_str());
    rmdir(base.c_str());
    WinsysTest::TearDown();
  }
  void save(const char* name) {
    const char* v = std::getenv(name);
    saved.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
  }
  XfResources load() {
    XfResources r{};
    xf_free_resources(&r);
    xfLoadResources(&r, kXfResourceTable, 16);
    return r;
  }
  std::string base, home, defaults;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(Resources, ReadingIsOffUnlessAskedFor) {
  std::ofstream(home + "/Halvorn") << "Zorvex.scrollBarWidth: 22\n";
  for (const char* v : {static_cast<const char*>(nullptr), "no", "N", "nope"}) {
    if (v)
      setenv("ZORVEXUSEXRESOURCE", v, 1);
    else
      unsetenv("ZORVEXUSEXRESOURCE");
    XfResources r = load();
    EXPECT_EQ(r.scrollBarWidth, kResourceNone) << (v ? v : "unset");
    EXPECT_EQ(r.caretColor, kResourceNone);
    xf_free_resources(&r);
  }
}

TEST_F(Resources, TheUserFileWinsOverTheApplicationDefaults) {
  setenv("ZORVEXUSEXRESOURCE", "yes", 1);
  std::ofstream(defaults + "/Halvorn") << "Zorvex.scrollBarWidth: 30\n*caretColor: red\nZorvex.menuColor: #101010\n";
  std::ofstream(home + "/Halvorn") << "Zorvex.scrollBarWidth: 22\nHalvorn*menuFont: fixed\n";
  XfResources r = load();
  EXPECT_STREQ(r.scrollBarWidth, "22");
  EXPECT_STREQ(r.caretColor, "red");
  EXPECT_STREQ(r.menuColor, "#101010");
  EXPECT_STREQ(r.menuFont, "fixed");
  EXPECT_EQ(r.labelFont, kResourceNone) << "not found: the shared default itself";
  xf_free_resources(&r);
  EXPECT_EQ(r.scrollBarWidth, kResourceNone);
}

TEST_F(Resources, MissingFilesGiveDefaults) {
  setenv("ZORVEXUSEXRESOURCE", "y", 1);
  XfResources r = load();
  EXPECT_EQ(r.mdiClientColor, kResourceNone);
  xf_free_resources(&r);
}

TEST_F(Resources, HomeFilePath) {
  EXPECT_EQ(xfHomeFilePath("Halvorn"), home + "/Halvorn");
  setenv("HOME", "/", 1);
  EXPECT_EQ(xfHomeFilePath("Halvorn"), "/Halvorn");
  unsetenv("HOME");
  EXPECT_EQ(xfHomeFilePath("Halvorn"), std::string(getpwuid(getuid())->pw_dir) + "/Halvorn")
      << "the password entry's home";
}

TEST(ResourceValues, NumbersAndKeywords) {
  struct Case {
    const char* text;
    uint32_t want;
  };
  for (Case c : {Case{"22", 22}, Case{"none", 18}, Case{"0", 18}, Case{"-3", 18}, Case{"12px", 18}, Case{"", 18},
                 Case{"201", 18}, Case{"200", 200}, Case{"99999999999999999999", 18}})
    EXPECT_EQ(xf_resource_number(c.text, 18, 200), c.want) << c.text;
  EXPECT_EQ(xf_positioning_keyword("CreateOuterMoveOuter"), 0);
  EXPECT_EQ(xf_positioning_keyword("CreateInnerMoveOuter"), 3);
  EXPECT_EQ(xf_positioning_keyword("createoutermoveouter"), 4) << "keywords compare exactly";
  EXPECT_EQ(xf_positioning_keyword("none"), 4);
}

TEST(ServerTables, VendorsPlatformsAndPositioningModes) {
  struct Case {
    const char* vendor;
    int family, platform, mode;
  };
  const Case cases[] = {
      {"The XFree86 Project, Inc", 1, 7, 1},
      {"Hewlett-Packard Company", 4, 5, 1},
      {"Sun Microsystems, Inc.", 2, 1, 0},
      {"X Consortium", 2, 3, 1},
      {"International Business Machines", 5, 6, 1},
      {"DECWINDOWS Digital Equipment Corporation Digital UNIX", 7, 9, 2},
      {"The X.Org Foundation", 0, 0, 0},
  };
  for (const Case& c : cases) {
    xf_reset();
    xfSetServerVendor(c.vendor);
    EXPECT_EQ(xf_server_family(), c.family) << c.vendor;
    EXPECT_EQ(xf_server_platform(), c.platform) << c.vendor;
    EXPECT_EQ(xfDetectPositioningMode(), c.mode) << c.vendor;
  }
  xf_reset();
  xfSetServerVendor("Sun");
  xfSetServerVendor("Hewlett");
  EXPECT_EQ(xf_server_family(), 2) << "only while the family is unknown";
  xfSetPlatform(4);
  EXPECT_EQ(xf_server_platform(), 3);
  xfSetPlatform(12);
  EXPECT_EQ(xf_server_platform(), 3);
  xfSetWindowPositioningMode(7);
  EXPECT_EQ(xf_positioning_mode(), 0);
  xf_reset();
}

TEST(ServerTables, VisualClassAndTakeFocus) {
  int color[] = {StaticGray, TrueColor};
  int gray[] = {StaticGray, GrayScale};
  EXPECT_EQ(xf_classify_visuals(24, color, 2), 1);
  EXPECT_EQ(xf_classify_visuals(8, gray, 2), 2);
  EXPECT_EQ(xf_classify_visuals(1, color, 2), 3);
  EXPECT_EQ(xf_classify_visuals(24, nullptr, 0), 3);
  EXPECT_TRUE(xf_take_focus_decision("yes", false));
  EXPECT_TRUE(xf_take_focus_decision("Y", false));
  EXPECT_FALSE(xf_take_focus_decision("no", true)) << "n beats an OpenLook manager";
  EXPECT_FALSE(xf_take_focus_decision("", true));
  EXPECT_TRUE(xf_take_focus_decision(nullptr, true));
  EXPECT_FALSE(xf_take_focus_decision(nullptr, false));
}

TEST(ServerTables, DefaultFontsAndLines) {
  XfDefaultFonts f = xf_default_fonts("10", 0);
  EXPECT_EQ(f.size, 100u);
  EXPECT_EQ(f.fixed_name, "adobe-courier");
  EXPECT_EQ(xf_default_fonts("abc", 1).size, 120u);
  EXPECT_EQ(xf_default_fonts(nullptr, 1).fixed_name, "alias-7x13");
  EXPECT_EQ(xf_default_fonts("100000", 0).size, 120u) << "absurd sizes are not believed";
  ASSERT_EQ(f.fallback.size(), 8u);
  EXPECT_EQ(f.fallback[0], "-adobe-helvetica-bold-r-normal-*-*-100-75-75-*-*-*-*");
  EXPECT_EQ(f.fallback[5], "-*-helvetica-*-*-*-*-*-100-*-*-*-*-iso8859-1") << "loose patterns name the charset";
  EXPECT_EQ(f.fallback[6], "-*-*-*-*-*-*-*-100-*-*-*-*-iso8859-1");
  EXPECT_EQ(f.fallback[7], "fixed");

  struct Line {
    int x1, y1, x2, y2, wx1, wy1, wx2, wy2;
  };
  for (Line l : {Line{3, 1, 3, 9, 3, 1, 3, 8}, Line{3, 9, 3, 1, 3, 8, 3, 1}, Line{9, 4, 2, 4, 8, 4, 2, 4},
                 Line{2, 4, 9, 4, 2, 4, 8, 4}, Line{1, 1, 5, 6, 1, 1, 4, 6}}) {
    int x1 = l.x1, y1 = l.y1, x2 = l.x2, y2 = l.y2;
    xf_line_endpoints(5, &x1, &y1, &x2, &y2);
    EXPECT_EQ((std::vector<int>{x1, y1, x2, y2}), (std::vector<int>{l.wx1, l.wy1, l.wx2, l.wy2}));
    x1 = l.x1, y1 = l.y1, x2 = l.x2, y2 = l.y2;
    xf_line_endpoints(1, &x1, &y1, &x2, &y2);
    EXPECT_EQ((std::vector<int>{x1, y1, x2, y2}), (std::vector<int>{l.x1, l.y1, l.x2, l.y2}));
  }
}

}  // namespace
}  // namespace wstest
