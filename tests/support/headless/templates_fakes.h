// Form templates and pictures in programs without the forms layer: nothing
// can be made unless a test scripts the maker, and a module's templates are
// refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace templatestest {

struct FakeTemplates {
  // When set, makes what templates_create_object is asked for; null: -3015.
  int32_t (*create)(std::string_view name, uint32_t flags, std::optional<std::string_view> info,
                    uint32_t source) = nullptr;
};
inline FakeTemplates templates;

// Nothing scripted.
inline void install() { templates = FakeTemplates{}; }

}  // namespace templatestest
