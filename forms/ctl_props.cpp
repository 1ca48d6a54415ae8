#include "forms/ctl_props.h"

#include "winsys/colours.h"

uint32_t ctl_colour(uint32_t v) {
  if (!(v & 0x80000000u)) return v & 0xFFFFFF;
  switch (v & 0xFF) {
    case 5:  // window background: the text boxes' colour of the X resources
      return WinQuerySysColor(16);
    case 13:  // highlight
      return 0x800000;
    case 14:  // highlighted text
      return 0xFFFFFF;
    case 15:  // button face
      return 0xC0C0C0;
    case 16:  // button shadow
    case 17:  // grey text
      return 0x808080;
    default:  // window text, button text and the rest
      return 0x000000;
  }
}
