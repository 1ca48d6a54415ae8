// The font built-ins' list is the window system's: the faces and sizes the
// X server has, through the same enumeration the font dialog uses.
#include <string>

#include "macro/font_list_port.h"
#include "winsys/fonts.h"

namespace {

struct Listing {
  FontLineFn line;
  void* user;
};

}  // namespace

int32_t font_list_enumerate(uint32_t flags, std::string_view face, FontLineFn line, void* user) {
  Listing l{line, user};
  const std::string f(face);
  // The inserter keeps its own first error: a line that fails does not end the listing.
  return font_enum_for_dialog(
      flags, f.empty() ? nullptr : f.c_str(),
      [](void* ctx, const std::string& text) {
        const Listing* l = static_cast<const Listing*>(ctx);
        l->line(text, l->user);
      },
      &l);
}

int32_t font_list_is_scalable(std::string_view face) { return font_face_is_scalable(std::string(face).c_str()); }

int32_t font_list_type_flags(std::string_view face) { return font_face_type(std::string(face).c_str()); }
