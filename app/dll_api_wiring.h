// The editor API table handed to extension libraries, as the wiring check
// prints it: its 40 operations, each by its offset and name.
#pragma once

#include "app/wiring.h"

WiringTable dll_api_wiring();
