// The live forms in programs without the forms layer: no form holds a
// control unless a test scripts the lookup.
#pragma once

#include <cstdint>
#include <string_view>

namespace formtest {

struct FakeForms {
  // When set, answers form_find_control_by_name; null: no such control (0).
  int32_t (*find_control)(std::string_view name, uint8_t bucket, int32_t excluded) = nullptr;
};
inline FakeForms forms;

// Nothing scripted.
inline void install() { forms = FakeForms{}; }

}  // namespace formtest
