// The runtime tables of the forms, for the wiring check: the native windows
// of each kind of object and the macro menus' window-system functions.
#pragma once

#include <array>

#include "app/wiring.h"

std::array<WiringTable, 4> forms_wiring_tables();
