// The window system's font list as a test set it: none by default.
#include "macro/font_list_port.h"
#include "tests/support/headless/font_list_fakes.h"
#include "tests/support/headless/mark.h"

int32_t font_list_enumerate(uint32_t flags, std::string_view face, FontLineFn line, void* user) {
  fonttest::FakeFonts& f = fonttest::fonts;
  f.flags = flags;
  f.face = std::string(face);
  for (const std::string& l : face.empty() ? f.faces : f.sizes) line(l, user);
  return 0;
}
int32_t font_list_type_flags(std::string_view face) {
  const auto it = fonttest::fonts.kinds.find(std::string(face));
  return it == fonttest::fonts.kinds.end() ? 0 : it->second;
}
int32_t font_list_is_scalable(std::string_view face) { return (font_list_type_flags(face) & 256) ? 1 : 0; }
