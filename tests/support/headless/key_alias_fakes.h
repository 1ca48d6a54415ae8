// The raw keypad codes in programs without the forms' input translation:
// named keys keep their codes unless a test gives an alias.
#pragma once

#include <cstdint>

namespace aliastest {

struct FakeAlias {
  uint32_t (*alias)(uint32_t code) = nullptr;  // null: unchanged
};
inline FakeAlias keys;

// No alias.
inline void install() { keys = FakeAlias{}; }

}  // namespace aliastest
