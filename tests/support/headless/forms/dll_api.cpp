// The objects' answers to the extension libraries: no object exists, so
// every handle is invalid. The calls are recorded.
#include <string>

#include "macro/dll_port.h"
#include "tests/support/headless/dll_fakes.h"
#include "tests/support/headless/mark.h"

namespace {

constexpr int32_t kInvalidHandle = -2088;

void record(const char* what, int32_t handle, int32_t id, const std::string& value = {}) {
  std::string call = std::string(what) + " " + std::to_string(handle) + " " + std::to_string(id);
  if (!value.empty()) call += " " + value;
  dlltest::dll.property_calls.push_back(call);
}

}  // namespace

int32_t dll_property_get_int(int32_t handle, int32_t id) {
  record("get", handle, id);
  return 0;
}
int32_t dll_property_get_number(int32_t handle, int32_t id) {
  record("get", handle, id);
  return 0;
}
int32_t dll_property_get_cstr(int32_t handle, int32_t id, char* out, int32_t size) {
  record("get", handle, id);
  if (out && size > 0) out[0] = '\0';
  return 0;
}
int32_t dll_property_get_bytes(int32_t handle, int32_t id, char*, int32_t) {
  record("get", handle, id);
  return 0;
}
int32_t dll_property_set_int(int32_t handle, int32_t id, int32_t value) {
  record("set", handle, id, std::to_string(value));
  return kInvalidHandle;
}
int32_t dll_property_set_cstr(int32_t handle, int32_t id, const char* text) {
  record("set", handle, id, text ? text : "");
  return kInvalidHandle;
}
int32_t dll_property_set(int32_t handle, int32_t id, int32_t value, const char* text) {
  record("set", handle, id, text ? std::string(text) : std::to_string(value));
  return kInvalidHandle;
}
int32_t dll_push_window(int32_t handle, WindowSave*) {
  dlltest::dll.property_calls.push_back("push " + std::to_string(handle));
  return kInvalidHandle;
}
