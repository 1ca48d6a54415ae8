// What the display shows for keys as they come: the keys of a multi-key
// binding typed so far go to the message line (evt_show_key_prefix,
// macro/event_port.h), and the menu bar is brought up to date before it
// opens.
#pragma once

// F10 is about to open the menu bar: "-on-activate-menu" runs as the
// active editor window, so the menus follow the editor's state, then the
// screen is refreshed.
void disp_activate_menu();
