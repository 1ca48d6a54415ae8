// The opcode table: the one description of both byte-code opcode tables.
//
// Every slot of the main table (256 slots, indexed by the opcode byte) and
// of the extended table (232 slots, reached by the prefix byte 255 and one
// more byte) has one row in opcode_table.h: slot, mnemonic, handler name,
// the handler that runs, operand kinds, values popped and pushed, the
// subsystem that owns the handler, whether the operand and stack columns
// were checked against the handler's description, and a short effect.
// Slots without a function are rows too (handler op_illegal), so the
// tables have no holes. The interpreter's dispatch arrays, the assembler's
// mnemonic lookup, the disassembler and the tests are all derived from the
// rows; nothing keeps a second list.
//
// How slots get filled. A row whose handler is not built yet names
// op_unbuilt, which raises -3014 "Illegal opcode" through the same path as
// an illegal slot, so nothing half-works silently. Whoever builds a handler
// defines the function named in the row's handler_name column (every name
// is already declared in opcode_handlers.h) and replaces op_unbuilt by it
// in the handler column of its rows. Rows marked checked = false carry
// operand and stack columns read from the built-in's argument list by
// convention (a u8 count where arguments are optional); the builder
// corrects them against the handler's description and sets checked. The
// shape of the table (its columns and its 488 rows) never changes.
//
// Operand kinds, one character each in `operands`, in the order they
// follow the opcode byte (all little-endian):
//   c  u8  argument count (built-ins with optional arguments)
//   v  u16 variable (link index 1-8000, local 8001-8999, argument 9000+2a)
//   k  u16 offset into the constant area (varint length, then the bytes)
//   j  u16 jump target, offset from the module image start
//   l  u16 link-table index
//   u  u16 stored but not used
//   b  u8  column
//   w  i16 column delta
//   o  u8  operator character
//   x  u8  extended slot (the prefix's own operand)
//   n  u8  N, then N u16 variables
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "macro/opcode_handlers.h"

// Handlers take no arguments: they work on the interpreter registers and
// the expression stack, read their own operands at ip and advance it.
using OpHandler = void (*)();

enum class Owner : uint8_t { Base, Text, Macro, Winsys, Display, Forms, Services };

enum class OperandKind : uint8_t {
  Count, Var, Const, Jump, Link, Unused16, Col8, Col16, Operator, ExtSlot, VarGroup,
};

// `pops` may be kPopCount: the value of the row's count operand.
inline constexpr int8_t kPopCount = -1;
// `pushes` of calls and returns depends on the callee.
inline constexpr int8_t kVaries = -2;

struct OpcodeInfo {
  uint8_t slot;
  std::string_view mnemonic;
  std::string_view handler_name;
  OpHandler handler;
  std::string_view operands;
  int8_t pops;
  int8_t pushes;
  Owner owner;
  bool checked;
  std::string_view effect;
};

inline constexpr std::size_t kMainSlots = 256;
inline constexpr std::size_t kExtSlots = 232;
inline constexpr uint8_t kExtPrefix = 255;

#include "macro/opcode_table.h"

// ---------------------------------------------------------------- derived

constexpr std::optional<OperandKind> operand_kind(char c) {
  switch (c) {
    case 'c': return OperandKind::Count;
    case 'v': return OperandKind::Var;
    case 'k': return OperandKind::Const;
    case 'j': return OperandKind::Jump;
    case 'l': return OperandKind::Link;
    case 'u': return OperandKind::Unused16;
    case 'b': return OperandKind::Col8;
    case 'w': return OperandKind::Col16;
    case 'o': return OperandKind::Operator;
    case 'x': return OperandKind::ExtSlot;
    case 'n': return OperandKind::VarGroup;
    default: return std::nullopt;
  }
}

// Width in bytes of one operand; a VarGroup is its u8 count only (the
// variables that follow are two bytes each).
constexpr int operand_width(OperandKind k) {
  switch (k) {
    case OperandKind::Count:
    case OperandKind::Col8:
    case OperandKind::Operator:
    case OperandKind::ExtSlot:
    case OperandKind::VarGroup:
      return 1;
    default:
      return 2;
  }
}

// A slot of either table, as the assembler names it.
struct OpcodeRef {
  bool ext;
  uint8_t slot;
  const OpcodeInfo* info;
};

constexpr const OpcodeInfo& opcode_info(bool ext, uint8_t slot) {
  return ext ? kExtOpcodes[slot < kExtSlots ? slot : 0] : kMainOpcodes[slot];
}

// The row of a mnemonic, or nullopt.
constexpr std::optional<OpcodeRef> opcode_find(std::string_view mnemonic) {
  for (const auto& r : kMainOpcodes)
    if (r.mnemonic == mnemonic) return OpcodeRef{false, r.slot, &r};
  for (const auto& r : kExtOpcodes)
    if (r.mnemonic == mnemonic) return OpcodeRef{true, r.slot, &r};
  return std::nullopt;
}

// Dispatch arrays. The extended one has 256 entries: bytes 232-255 after
// the prefix have no slot and run op_illegal, so no byte indexes past it.
constexpr std::array<OpHandler, 256> opcode_main_dispatch() {
  std::array<OpHandler, 256> d{};
  for (const auto& r : kMainOpcodes) d[r.slot] = r.handler;
  return d;
}
constexpr std::array<OpHandler, 256> opcode_ext_dispatch() {
  std::array<OpHandler, 256> d{};
  for (auto& h : d) h = op_illegal;
  for (const auto& r : kExtOpcodes) d[r.slot] = r.handler;
  return d;
}

// --------------------------------------------------------- table checks

namespace opcode_checks {

template <std::size_t N>
constexpr bool dense(const std::array<OpcodeInfo, N>& t) {
  for (std::size_t i = 0; i < N; ++i)
    if (t[i].slot != i) return false;
  return true;
}

// Handler addresses are checked by the tests: sanitizer builds cannot
// compare function addresses at compile time.
template <std::size_t N>
constexpr bool well_formed(const std::array<OpcodeInfo, N>& t) {
  for (const auto& r : t) {
    if (r.mnemonic.empty() || r.handler_name.empty()) return false;
    for (char c : r.operands)
      if (!operand_kind(c)) return false;
    bool has_count = r.operands.find('c') != std::string_view::npos;
    if (r.pops == kPopCount && !has_count) return false;
    if (r.pops < kPopCount || r.pushes < kVaries || r.pushes > 1) return false;
  }
  return true;
}

constexpr bool mnemonics_unique() {
  std::array<std::string_view, kMainSlots + kExtSlots> all{};
  for (std::size_t i = 0; i < kMainSlots; ++i) all[i] = kMainOpcodes[i].mnemonic;
  for (std::size_t i = 0; i < kExtSlots; ++i) all[kMainSlots + i] = kExtOpcodes[i].mnemonic;
  std::sort(all.begin(), all.end());
  return std::adjacent_find(all.begin(), all.end()) == all.end();
}

}  // namespace opcode_checks

static_assert(kMainOpcodes.size() == kMainSlots && kExtOpcodes.size() == kExtSlots);
static_assert(opcode_checks::dense(kMainOpcodes) && opcode_checks::dense(kExtOpcodes),
              "opcode rows must list every slot once, in order");
static_assert(opcode_checks::well_formed(kMainOpcodes) && opcode_checks::well_formed(kExtOpcodes));
static_assert(opcode_checks::mnemonics_unique(), "two rows share a mnemonic");
static_assert(kMainOpcodes[kExtPrefix].operands == "x");
