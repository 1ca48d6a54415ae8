#include "app/dll_api_wiring.h"

#include <array>

#include "macro/dll.h"

WiringTable dll_api_wiring() {
  static const std::array<WiringSlot, kDllApiEntries> slots = [] {
    std::array<WiringSlot, kDllApiEntries> s{};
    for (int i = 0; i < kDllApiEntries; ++i) s[i] = {dll_api_entries()[i].name, dll_api_entries()[i].address};
    return s;
  }();
  return {"editor API table (macro/dll.h)", slots};
}
