// The default fonts' owners without the forms: changes recorded, queries
// answered from the test's answers.
#include "display/default_font_port.h"
#include "tests/support/headless/default_font_fakes.h"
#include "tests/support/headless/mark.h"

void default_font_changed(int32_t internal_id) { fontfake::fonts.changed.push_back(internal_id); }
bool default_font_query(int32_t internal_id, std::string* face, int32_t* tenths, uint32_t* flags) {
  auto it = fontfake::fonts.answers.find(internal_id);
  if (it == fontfake::fonts.answers.end()) return false;
  *face = it->second.face, *tenths = it->second.tenths, *flags = it->second.flags;
  return true;
}
