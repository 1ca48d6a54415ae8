// The Window menu's names without the application: what a test gave, else
// none (the child's title shows).
#include "tests/support/headless/mark.h"
#include "tests/support/headless/mdi_fakes.h"
#include "winsys/mdi_port.h"

std::string mdi_menu_name(XfWindow* child) {
  auto it = mdifake::mdi.names.find(child);
  return it == mdifake::mdi.names.end() ? std::string() : it->second;
}
