// The font built-ins list the X server's fonts: on a private Xvfb with the
// core fonts, the face list (the desktop names first), the sizes of a face
// and a face's kind come from the server, one line each after the cursor
// line, the cursor on the last one.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// The macro and text engine first: the window system's headers bring in Xlib.
#include "tests/macro/text_bi_fixture.h"

#include "winsys/fonts.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

// Xlib's macros (None, Bool, Status) last, after the headers they would spoil.
#include <X11/Xlib.h>

#include "tests/support/xvfb.h"

namespace {

class FontListX : public textbi::TextBiTest {
 protected:
  void SetUp() override {
    TextBiTest::SetUp();
    std::string why;
    server_ = xtest::XvfbServer::start({}, &why);
    ASSERT_TRUE(server_) << why;
    xf_reset();
    old_handler_ = XSetErrorHandler(xfXErrorHandler);
    xf_attach_display(server_->display());
    xfInitDefaultFonts();
  }
  void TearDown() override {
    if (server_) {
      xf_reset();
      XSetErrorHandler(old_handler_);
      server_.reset();
    }
    TextBiTest::TearDown();
  }
  // The buffer's lines after the first.
  std::vector<std::string> listed() {
    std::vector<std::string> lines;
    std::istringstream in(text());
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
  }
  std::unique_ptr<xtest::XvfbServer> server_;
  XErrorHandler old_handler_ = nullptr;
};

TEST_F(FontListX, TheFaceListHoldsTheServersFaces) {
  open("top\n");
  const textbi::Outcome o = run("  insert_font_list 0");
  EXPECT_EQ(o.rc, "0");
  const std::vector<std::string> faces = listed();
  ASSERT_GT(faces.size(), 10u);
  EXPECT_EQ(faces[0], " OEM Fixed Font") << "the desktop names first";
  EXPECT_EQ(faces[1], " courier");
  EXPECT_NE(std::find(faces.begin(), faces.end(), " adobe-courier"), faces.end());
  EXPECT_NE(std::find(faces.begin(), faces.end(), " adobe-helvetica"), faces.end());
  EXPECT_EQ(cur_line(), static_cast<int32_t>(faces.size()) + 1) << "the cursor on the last face";
}

TEST_F(FontListX, TheSizesOfAFaceAndItsKind) {
  open("top\n");
  textbi::Outcome o = run("  push_const \"S\"\n  push_const \"adobe-courier\"\n  insert_font_list 2");
  EXPECT_EQ(o.rc, "0");
  const std::vector<std::string> sizes = listed();
  EXPECT_NE(std::find(sizes.begin(), sizes.end(), " 12"), sizes.end()) << text();
  EXPECT_NE(std::find(sizes.begin(), sizes.end(), " 18"), sizes.end()) << text();
  o = run(R"(  push_const "adobe-courier"
  font_type_flags 1
  assign $out
  push_const "adobe-courier"
  font_is_scalable 1
  assign $out2
  push_const "adobe-helvetica"
  font_type_flags 1
  assign $out3
  push_const "nosuch-family"
  font_type_flags 1
  assign $out4)");
  EXPECT_EQ(o.out, "264") << "fixed pitch, and scalable names exist";
  EXPECT_EQ(o.out2, "1");
  EXPECT_EQ(o.out3, "256") << "proportional";
  EXPECT_EQ(o.out4, "0");
}

}  // namespace
