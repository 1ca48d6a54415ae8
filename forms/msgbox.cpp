#include "forms/msgbox.h"

namespace {
SpillErrorBoxHook spill_hook = nullptr;
int spill_shown = 0;
}  // namespace

bool app_spill_error_box() {
  ++spill_shown;
  return spill_hook ? spill_hook() : false;
}

void app_set_spill_error_box_hook(SpillErrorBoxHook hook) { spill_hook = hook; }
int app_spill_error_box_count() { return spill_shown; }

namespace {
FileChangedBoxHook changed_hook = nullptr;
}  // namespace

bool app_file_changed_box(const char* name) { return changed_hook ? changed_hook(name) : false; }

void app_set_file_changed_box_hook(FileChangedBoxHook hook) { changed_hook = hook; }
