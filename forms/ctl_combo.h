// The arrow of a combo box's drop-down button: a picture of the names
// table when one is registered, else a drawn triangle.
#pragma once

#include <cstdint>

// The names-table names the arrow picture is looked up by: "_cboarro.bmp"
// on a screen wider than 800 pixels, else "_cboarrl.bmp"; "_cbarrow.bmp"
// when that one is missing.
const char* combo_arrow_name(int32_t screen_width);
inline constexpr const char* kComboArrowFallback = "_cbarrow.bmp";

// The names-table index of the arrow picture for the screen width; 0 when
// none of the names is a picture.
uint32_t combo_arrow_picture(int32_t screen_width);
