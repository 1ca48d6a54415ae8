// What the MDI layer needs of the application above it: the name a child
// shows in the Window menu.
#pragma once

#include <string>

#include "winsys/window_rec.h"

// The document name of the MDI child frame, shortened for a menu (the
// display's menu path of the file its editor window shows); empty when the
// child shows no document, and then the menu shows the child's title. A
// program without the application answers empty.
std::string mdi_menu_name(XfWindow* child);
