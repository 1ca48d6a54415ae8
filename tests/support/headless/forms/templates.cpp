// The names table's templates without forms: none are held, none can be
// made, none is found or named.
#include "base/messages.h"
#include "macro/templates_port.h"
#include "tests/support/headless/mark.h"

int templates_control_type(uint32_t, uint32_t) { return -1; }
int templates_find_control(uint32_t, std::string_view) { return -1; }
std::string templates_control_name(uint32_t, uint32_t) { return {}; }
void templates_release(uint32_t) {}
bool templates_picture_in_use(uint32_t) { return false; }
void templates_entry_deleted(uint32_t, uint32_t) {}
void templates_table_bound(uint32_t, std::string_view) {}

int32_t templates_create_object(std::string_view, uint32_t, std::optional<std::string_view>, uint32_t) {
  return ERR_INVALID_ARGUMENT;
}

void templates_picture_release(uint32_t) {}
int templates_store_module(std::span<const uint8_t>) { return ERR_INCORRECT_VERSION; }
