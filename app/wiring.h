// The program's wiring, printed and checked: every port function the layers
// declare (the table is generated from the *_port.h headers) and every table
// of functions the composition root builds, each with the function it
// resolves to. `zorvex --check-wiring` prints it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct PortFunction {
  const char* header;
  const char* name;
  const void* address;
};
extern const PortFunction kPortFunctions[];
extern const size_t kPortFunctionCount;

// One slot of a table of functions, for the check: its name and what it holds.
struct WiringSlot {
  std::string name;
  const void* address;
};
// A table the composition root built: its name and its slots.
struct WiringTable {
  const char* name;
  std::span<const WiringSlot> slots;
};

// The interpreter's dispatch as a table of the check: every slot the opcode
// map gives a function, with its handler (empty while it is op_illegal).
struct OpcodeDispatch;
std::vector<WiringSlot> opcode_wiring_slots(const OpcodeDispatch& d);

// The name of the function at the address, from the program's own symbol
// table ("?" when none is found).
std::string symbol_for_address(const void* address);

// Prints every port and table slot; answers the number of faults found (an
// empty slot, headless answers linked into the program).
int wiring_check(std::FILE* out, std::span<const WiringTable> tables);
