// Combo boxes' arrow pictures (see ctl_combo.h).
#include "forms/ctl_combo.h"

#include "macro/names.h"

const char* combo_arrow_name(int32_t screen_width) { return screen_width > 800 ? "_cboarro.bmp" : "_cboarrl.bmp"; }

uint32_t combo_arrow_picture(int32_t screen_width) {
  if (const uint32_t i = name_find(combo_arrow_name(screen_width), NF_PICTURE)) return i;
  return name_find(kComboArrowFallback, NF_PICTURE);
}
