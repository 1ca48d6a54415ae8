#include "forms/msgbox.h"

namespace {
SpillErrorBoxHook spill_hook = nullptr;
}  // namespace

bool app_spill_error_box() { return spill_hook ? spill_hook() : false; }

void app_set_spill_error_box_hook(SpillErrorBoxHook hook) { spill_hook = hook; }
namespace {
FileChangedBoxHook changed_hook = nullptr;
}  // namespace

bool app_file_changed_box(const char* name) { return changed_hook ? changed_hook(name) : false; }

void app_set_file_changed_box_hook(FileChangedBoxHook hook) { changed_hook = hook; }
