// The extension-library layer in programs without the layers above it: no
// window object exists (property gets answer 0 or empty, sets and pushes
// -2088), messages and command lines are recorded (a command line answers
// what the test set, "0" by default; an option letter outside "WARZL"
// still answers "-3015"), and only the libraries a test adds are built in.
#pragma once

#include <string>
#include <vector>

struct DllBuiltinLibrary;

namespace dlltest {

struct FakeDll {
  std::vector<std::string> messages;               // texts shown on the message line
  std::vector<std::string> commands;               // command lines run: "command|options"
  std::string command_answer = "0";                // what a command line answers
  std::vector<std::string> property_calls;         // "get handle id", "set handle id value-or-text", "push handle"
  std::vector<const DllBuiltinLibrary*> builtins;  // libraries built into the program (the test's own records)
};
inline FakeDll dll;

// No built-in library, nothing recorded.
inline void install() { dll = FakeDll{}; }

}  // namespace dlltest
