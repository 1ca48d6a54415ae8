// The combo box's arrow picture by screen width, and on a private Xvfb the
// arrow drawn from the registered picture, or as a triangle without one.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <unistd.h>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "forms/ctl_combo.h"
#include "macro/names.h"
#include "tests/support/xvfb.h"

namespace {

using namespace std::chrono_literals;

class ComboArrowName : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(name_pool_init(), 0); }
  uint32_t entry(const char* name, uint32_t flags) {
    NameEntry image{};
    image.flags = flags;
    const int32_t index = name_insert(name, image);
    EXPECT_GT(index, 0);
    return static_cast<uint32_t>(index);
  }
};

TEST_F(ComboArrowName, ByScreenWidthWithTheFallback) {
  EXPECT_EQ(combo_arrow_picture(1024), 0u) << "none registered";
  const uint32_t fallback = entry("_cbarrow.bmp", NF_PICTURE);
  entry("_cboarrl.bmp", NF_EVENT_TABLE);  // the name, but not a picture
  struct Case {
    int32_t width;
    const char* name;
  };
  for (const Case k :
       {Case{1024, "_cboarro.bmp"}, Case{801, "_cboarro.bmp"}, Case{800, "_cboarrl.bmp"}, Case{640, "_cboarrl.bmp"}})
    EXPECT_STREQ(combo_arrow_name(k.width), k.name) << k.width;
  EXPECT_EQ(combo_arrow_picture(1024), fallback);
  EXPECT_EQ(combo_arrow_picture(800), fallback) << "an entry that is no picture does not count";
  const uint32_t large = entry("_cboarro.bmp", NF_PICTURE);
  const uint32_t small = entry("_cboarrl.bmp", NF_PICTURE);
  EXPECT_EQ(combo_arrow_picture(1024), large);
  EXPECT_EQ(combo_arrow_picture(800), small);
}

// A macro makes a form with a combo box, after registering the picture
// file named on its start-up line.
class ComboArrowX : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!file.empty()) std::remove(file.c_str());
    if (!dir.empty()) rmdir(dir.c_str());
  }
  // A 9 x 5 picture of one colour, written as XPM text under `name`.
  std::string picture(const char* name, const char* colour) {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/comboXXXXXX";
    EXPECT_NE(mkdtemp(templ.data()), nullptr);
    dir = templ;
    file = dir + "/" + name;
    std::ofstream out(file);
    out << "/* XPM */\nstatic char * arrow[] = {\n\"9 5 1 1\",\n\"r c " << colour << "\",\n";
    for (int y = 0; y < 5; ++y) out << "\"rrrrrrrrr\"" << (y < 4 ? ",\n" : "\n");
    out << "};\n";
    return file;
  }
  // The pixel at the centre of the combo's arrow button.
  unsigned long arrow_centre(const std::string& registered) {
    std::string why;
    server = xtest::XvfbServer::start({}, &why);
    EXPECT_TRUE(server) << why;
    if (!server) return 0xDEADBEEF;
    demo =
        server->spawn({ZVX_DEMO_MACRO_FORM, std::string(ZVX_TEST_DATA_DIR) + "/forms/data/combo_arrow.e", registered});
    std::map<int, std::pair<int, Window>> windows;
    for (auto line = demo->read_line(20s); line && *line != "ready"; line = demo->read_line(20s)) {
      std::istringstream in(*line);
      std::string tag;
      int id = 0, type = 0;
      unsigned long frame = 0, client = 0;
      in >> tag >> id >> type >> frame >> client;
      EXPECT_NE(tag, "error") << *line;
      if (tag == "obj") windows[id] = {type, client};
    }
    Window button = 0;
    for (auto& [id, w] : windows)
      if (w.first == 14) button = w.second;
    EXPECT_NE(button, 0u) << "the combo's arrow button has a window";
    if (!button) return 0xDEADBEEF;
    XWindowAttributes a{};
    XGetWindowAttributes(server->display(), button, &a);
    const unsigned long face = server->pixel_when(button, a.width / 2, a.height / 2, 0xFF0000, 3s);
    corner = server->pixel(button, 2, 2).value_or(0xDEADBEEF);
    return face;
  }

  std::unique_ptr<xtest::XvfbServer> server;
  std::unique_ptr<xtest::ChildProgram> demo;
  std::string dir, file;
  unsigned long corner = 0;
};

TEST_F(ComboArrowX, ThePictureRegisteredShows) {
  EXPECT_EQ(arrow_centre(picture("_cboarro.bmp", "#FF0000")), 0xFF0000u);
  EXPECT_NE(corner, 0xFF0000u) << "at its own size, centred";
  EXPECT_NE(corner, 0xDEADBEEFu);
}

TEST_F(ComboArrowX, TheFallbackPictureShowsWhenTheScreenOneIsMissing) {
  EXPECT_EQ(arrow_centre(picture("_cbarrow.bmp", "#0000FF")), 0x0000FFu);
}

TEST_F(ComboArrowX, WithoutAPictureTheArrowIsDrawn) { EXPECT_EQ(arrow_centre(""), 0x000000u) << "the drawn triangle"; }

TEST_F(ComboArrowX, APictureForAnotherScreenIsNotUsed) {
  // The demo's screen is 1024 wide: the narrow screen's picture is passed over.
  EXPECT_EQ(arrow_centre(picture("_cboarrl.bmp", "#FF0000")), 0x000000u);
}

}  // namespace
