// Environment lookups in programs without the macro runtime: the process
// environment, unless a test gives a lookup of its own.
#pragma once

namespace envtest {

struct FakeEnv {
  const char* (*lookup)(const char* name) = nullptr;  // null: getenv
};
inline FakeEnv env;

// The process environment.
inline void install() { env = FakeEnv{}; }

}  // namespace envtest
