// The opcode table: the one description of both byte-code opcode tables,
// and the dispatch arrays the layers fill with their handlers.
//
// Every slot of the main table (256 slots, indexed by the opcode byte) and
// of the extended table (232 slots, reached by the prefix byte 255 and one
// more byte) has one row in opcode_table.h: slot, mnemonic, operand kinds,
// values popped and pushed, the layer that registers its handler, and a
// short effect. Slots without a function are rows too (layer None), so the
// tables have no holes. The assembler's mnemonic lookup, the disassembler,
// the registration checks and the tests all read the rows; nothing keeps a
// second list.
//
// The rows name no handler. Each layer binds its own handlers at start-up,
// the way a scripting library registers its functions: a span of
// {slot, handler} pairs handed to opcodes_register, one call per layer,
// lowest layer first (app/main.cpp). The macro layer binds the language
// core and every built-in that runs on the interpreter's stack, those of
// the text engine and the foundation included; display, forms and
// services bind theirs from their own folders. A slot nobody bound runs
// op_illegal and raises -3014 "Illegal opcode", so an unbuilt built-in
// stops the macro instead of half-working. Handlers get no arguments: a
// slot whose behaviour differs from another's gets a handler of its own,
// and no handler looks back at its opcode byte.
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
//   p  u8  property id
//   d  u8  depth below the top of an object handle
//   z  u8  depth or keep flag: when 0, one more value is popped
//
// Built-ins take their arguments from the stack, the last one on top, and
// push at most one result. Arguments they assign to are variable operands
// in the code, not stack entries: a fixed number of them is one `v` each,
// a number that varies is one `n` group. The count `c` counts the stack
// arguments only, so `pops` kPopCount is exactly the count.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// Handlers take no arguments: they work on the interpreter registers and
// the expression stack, read their own operands at ip and advance it.
using OpHandler = void (*)();

// Runs every slot without a handler: raises -3014 "Illegal opcode".
void op_illegal();

// The layer whose start-up binds a slot's handler; None for slots that
// have no function and stay illegal.
enum class Layer : uint8_t { None, Macro, Display, Forms, Services };

enum class OperandKind : uint8_t {
  Count,
  Var,
  Const,
  Jump,
  Link,
  Unused16,
  Col8,
  Col16,
  Operator,
  ExtSlot,
  VarGroup,
  PropertyId,
  HandleDepth,
  PopIfZero,
};

// `pops` may be kPopCount: the value of the row's count operand.
inline constexpr int8_t kPopCount = -1;
// `pushes` of calls and returns depends on the callee.
inline constexpr int8_t kVaries = -2;
// Most rows push at most one value; dup_under leaves three where it took two.
inline constexpr int8_t kMaxPushes = 3;

struct OpcodeInfo {
  uint8_t slot;
  std::string_view mnemonic;
  std::string_view operands;
  int8_t pops;
  int8_t pushes;
  Layer layer;
  std::string_view effect;
};

inline constexpr std::size_t kMainSlots = 256;
inline constexpr std::size_t kExtSlots = 232;
inline constexpr uint8_t kExtPrefix = 255;

#include "macro/opcode_table.h"

// ---------------------------------------------------------------- derived

constexpr std::optional<OperandKind> operand_kind(char c) {
  switch (c) {
    case 'c':
      return OperandKind::Count;
    case 'v':
      return OperandKind::Var;
    case 'k':
      return OperandKind::Const;
    case 'j':
      return OperandKind::Jump;
    case 'l':
      return OperandKind::Link;
    case 'u':
      return OperandKind::Unused16;
    case 'b':
      return OperandKind::Col8;
    case 'w':
      return OperandKind::Col16;
    case 'o':
      return OperandKind::Operator;
    case 'x':
      return OperandKind::ExtSlot;
    case 'n':
      return OperandKind::VarGroup;
    case 'p':
      return OperandKind::PropertyId;
    case 'd':
      return OperandKind::HandleDepth;
    case 'z':
      return OperandKind::PopIfZero;
    default:
      return std::nullopt;
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
    case OperandKind::PropertyId:
    case OperandKind::HandleDepth:
    case OperandKind::PopIfZero:
      return 1;
    default:
      return 2;
  }
}

// A slot of either table.
struct OpcodeSlot {
  bool ext;
  uint8_t slot;
  friend constexpr bool operator==(OpcodeSlot, OpcodeSlot) = default;
};

// A slot of either table, as the assembler names it.
struct OpcodeRef {
  bool ext;
  uint8_t slot;
  const OpcodeInfo* info;
};

constexpr const OpcodeInfo& opcode_info(bool ext, uint8_t slot) {
  return ext ? kExtOpcodes[slot < kExtSlots ? slot : 0] : kMainOpcodes[slot];
}

// Whether the slot has a function at all (illegal slots have none).
constexpr bool opcode_has_function(const OpcodeInfo& r) { return r.layer != Layer::None; }

// The row of a mnemonic, or nullopt.
constexpr std::optional<OpcodeRef> opcode_find(std::string_view mnemonic) {
  for (const auto& r : kMainOpcodes)
    if (r.mnemonic == mnemonic) return OpcodeRef{false, r.slot, &r};
  for (const auto& r : kExtOpcodes)
    if (r.mnemonic == mnemonic) return OpcodeRef{true, r.slot, &r};
  return std::nullopt;
}

namespace opcode_checks {
void unknown_mnemonic();  // never defined: naming it stops a constant evaluation
}

// The slot of a mnemonic, at compile time: a misspelt mnemonic in a
// binding list does not compile.
consteval OpcodeSlot opcode_slot(std::string_view mnemonic) {
  const auto r = opcode_find(mnemonic);
  if (!r) opcode_checks::unknown_mnemonic();
  return OpcodeSlot{r->ext, r->slot};
}

// ---------------------------------------------------------- registration

// One handler for one slot, as a layer registers it.
struct OpcodeBinding {
  OpcodeSlot op;
  OpHandler handler;
};

// The arrays the interpreter dispatches through. The extended one has 256
// entries: bytes 232-255 after the prefix have no slot and stay op_illegal,
// so no byte indexes past it. A slot is free while it holds op_illegal.
struct OpcodeDispatch {
  std::array<OpHandler, 256> main;
  std::array<OpHandler, 256> ext;
  constexpr OpcodeDispatch() {
    main.fill(op_illegal);
    ext.fill(op_illegal);
  }
};

// Why opcodes_register refused a span.
enum class BindFault : uint8_t {
  None,
  Taken,       // the slot already has a handler, or the span names it twice
  OtherLayer,  // the row belongs to another layer, or has no function
  NoHandler,   // a null handler, or op_illegal itself
};

struct BindResult {
  BindFault fault = BindFault::None;
  OpcodeSlot at{};  // the first binding refused
  explicit operator bool() const { return fault == BindFault::None; }
};

// Binds every handler of the span to its slot for `layer`. All or nothing:
// on a fault the dispatch is left as it was and the result names the
// first binding refused.
BindResult opcodes_register(OpcodeDispatch& d, Layer layer, std::span<const OpcodeBinding> bindings);

// Every slot back to op_illegal.
void opcodes_clear(OpcodeDispatch& d);

// The macro layer's bindings (opcode_bind.cpp): the language core and the
// built-ins that run on the interpreter, the text engine's and the
// foundation's among them.
BindResult macro_register_opcodes(OpcodeDispatch& d);

// The dispatch of the one interpreter; empty (all op_illegal) until the
// layers register.
extern OpcodeDispatch vm_dispatch;

// --------------------------------------------------------- table checks

namespace opcode_checks {

template <std::size_t N>
constexpr bool dense(const std::array<OpcodeInfo, N>& t) {
  for (std::size_t i = 0; i < N; ++i)
    if (t[i].slot != i) return false;
  return true;
}

template <std::size_t N>
constexpr bool well_formed(const std::array<OpcodeInfo, N>& t) {
  for (const auto& r : t) {
    if (r.mnemonic.empty()) return false;
    for (char c : r.operands)
      if (!operand_kind(c)) return false;
    bool has_count = r.operands.find('c') != std::string_view::npos;
    if (r.pops == kPopCount && !has_count) return false;
    if (r.pops < kPopCount || r.pushes < kVaries || r.pushes > kMaxPushes) return false;
    if (r.pushes > 1 && r.pushes > r.pops + 1) return false;
    // A slot without a function takes nothing and gives nothing.
    if (r.layer == Layer::None && (!r.operands.empty() || r.pops != 0 || r.pushes != 0)) return false;
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
