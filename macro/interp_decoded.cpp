// Procedures decoded once and run from their decoded form.
//
// The first time a procedure runs, its code is read once into an array of
// small records: the integer steps of the inline loop (pushes of locals and
// of integer constants, assignment, incr and decr of a local, + and -, the
// comparisons and the three jumps), with their operands already resolved:
// the local's offset from the frame's first local, the constant's number,
// the jump target's record. The commonest runs are one record each: push a
// local, push a constant and operate, then assign to a local or branch.
// Every other instruction is a plain record that runs its handler.
//
// A record runs only while its guards hold: every slot it reads holds an
// integer in number form, every slot it writes can take the result without
// an allocation, and the budget has room for the instructions it stands
// for. When one fails, the record of the next shorter run at the same byte
// takes over, and after the last the handler runs there, so a macro sees
// exactly what the handlers alone would show: values, texts, errors and
// their offsets, break polls, budget stops, heap and compactions. After a
// handler the loop finds its place again from ip, in whichever procedure
// the handler left running.
//
// Records are placed by byte offset, not by the order the decoder read
// them in: a jump into the middle of an instruction, or out of the decoded
// range, lands on no record and runs handlers until ip meets one again.
//
// The decoded forms are kept by image address, image size and procedure
// offset, with a copy of every byte they were read from (the code, and the
// constants they hold as numbers). A procedure is looked up each time the
// loop enters it, and a form whose bytes differ from the image's now (the
// image was freed and another loaded there, a module reloaded, a test
// changed the bytes) is decoded again, so stale records never run. Nothing
// in a record points into the variable heap, so compactions leave them
// valid.
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "macro/catch.h"
#include "macro/interp.h"
#include "macro/interp_steps.h"
#include "macro/module.h"
#include "macro/opcodes.h"
#include "macro/stack.h"
#include "macro/varheap.h"

namespace {

using namespace vm_steps;

enum Kind : uint8_t {
  kPlain,        // the handler of the instruction at `at`
  kPushLocal,    // push_var of a local
  kPushInt,      // push_const of an integer
  kAssignLocal,  // assign to a local
  kIncrLocal,    // incr of a local
  kDecrLocal,    // decr of a local
  kOperate,      // + - or a comparison of the top two
  kGoto,         // jump
  kBranch,       // jump_if_true / jump_if_false
  // The fused runs, four kinds each, by their operator (fused_operator):
  kPushOperate,                              // push_var local, push_const integer, operator
  kPushOperateStore = kPushOperate + 4,      // ... then assign to a local
  kPushOperateTest = kPushOperateStore + 4,  // ... then jump_if_true / jump_if_false
  kKinds = kPushOperateTest + 4
};

// The operator of a fused run: + - swapped- and the comparisons.
uint8_t fused_operator(Oper o) { return o.kind == kPlus ? 0 : o.kind == kMinus ? 1 : o.kind == kMinusSwapped ? 2 : 3; }

// v op k for fused operator O; for a comparison *idx is 0, 1 or 2 as v is
// less than, equal to or greater than k. False when the sum leaves 16 digits.
template <int O>
[[gnu::always_inline]] inline bool fused_value(int64_t v, int64_t k, uint8_t holds, int64_t* m, int* idx) {
  if constexpr (O == 3) {
    *idx = (v > k) - (v < k) + 1;
    *m = (holds >> *idx) & 1;
    return true;
  } else {
    *m = O == 0 ? v + k : O == 1 ? v - k : k - v;
    return *m <= kNumMantMax && *m >= -kNumMantMax;
  }
}

struct Rec {
  Kind kind = kPlain;
  uint8_t steps = 1;            // instructions the record stands for
  Oper oper;                    // kOperate and the pushes that operate
  uint8_t when_true = 0;        // a branch jumps on a true value (else on "0")
  uint8_t poll_always = 0;      // polls the break key whether it jumps or not
  uint8_t poll_taken = 0;       // polls when it jumps
  uint8_t go_when = 0;          // a fused comparison's test: which of <, =, > make it jump (bits 0-2)
  uint32_t at = 0;              // byte offset of its first instruction in the image
  const Rec* next = nullptr;    // the record after it
  const Rec* target = nullptr;  // the record a jump goes to
  const Rec* fail = nullptr;    // the record that takes over when a guard fails; null: the handler
  int32_t local = 0;            // the pushed, stepped or assigned local, from the frame's first
  int32_t dst = 0;              // the local a fused run assigns
  uint32_t operand = 0;         // push_var's operand (the last variable read)
  int64_t k = 0;                // the constant
};

struct Span {
  uint32_t at, len;
};

struct Decoded {
  const uint8_t* base = nullptr;
  uint32_t size = 0;
  uint32_t proc = 0;    // offset of the procedure header
  uint32_t consts = 0;  // offset of the constant area the frame uses
  uint32_t lo = 0, hi = 0;
  std::vector<int32_t> rec_at;  // by offset - lo: the record starting there, or -1
  std::vector<Rec> recs;
  std::vector<Span> spans;     // the bytes the records were read from
  std::vector<uint8_t> bytes;  // their copy, span after span

  // Whether the image at base still holds the bytes this form was read from.
  bool same(const uint8_t* image) const {
    const uint8_t* b = bytes.data();
    for (const Span& s : spans) {
      if (std::memcmp(image + s.at, b, s.len) != 0) return false;
      b += s.len;
    }
    return true;
  }
  int32_t record_at(size_t off) const { return off >= lo && off < hi ? rec_at[off - lo] : -1; }
};

uint32_t u16_at(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }

// Length of the instruction at o as its table row describes it, or 0 when
// the row has no function or the instruction passes the image end.
uint32_t instruction_length(const uint8_t* base, uint32_t size, uint32_t o, const OpcodeInfo** row) {
  uint32_t n = 1;
  const OpcodeInfo* info = &kMainOpcodes[base[o]];
  if (base[o] == kExtPrefix) {
    if (o + 1 >= size || base[o + 1] >= kExtSlots) return 0;
    info = &kExtOpcodes[base[o + 1]];
    n = 2;
  }
  if (!opcode_has_function(*info)) return 0;
  for (char c : info->operands) {
    if (o + n > size) return 0;
    if (c == 'x') continue;  // the prefix's own byte, counted above
    if (c == 'n') {
      if (o + n >= size) return 0;
      n += 1 + 2u * base[o + n];
      continue;
    }
    const auto kind = operand_kind(c);
    if (!kind) return 0;
    n += static_cast<uint32_t>(operand_width(*kind));
  }
  if (o + n > size) return 0;
  *row = info;
  return n;
}

// The jump targets an instruction names (its 'j' operands), for the end of
// the procedure.
uint32_t furthest_target(const uint8_t* base, uint32_t o, const OpcodeInfo* row) {
  uint32_t at = o + (base[o] == kExtPrefix ? 2 : 1), far = 0;
  for (char c : row->operands) {
    if (c == 'x') continue;
    if (c == 'n') {
      at += 1 + 2u * base[at];
      continue;
    }
    if (c == 'j') far = std::max(far, u16_at(base + at));
    at += static_cast<uint32_t>(operand_width(*operand_kind(c)));
  }
  return far;
}

constexpr uint32_t kMaxInstructions = 20000;

class Decoder {
 public:
  Decoder(const uint8_t* base, uint32_t size, uint32_t proc, uint32_t consts) {
    d_ = std::make_shared<Decoded>();
    d_->base = base;
    d_->size = size;
    d_->proc = proc;
    d_->consts = consts;
  }

  std::shared_ptr<Decoded> run() {
    const uint8_t* base = d_->base;
    const uint32_t size = d_->size;
    // The instructions in order from the header to the first return that
    // no forward jump passes (code past it runs its handlers).
    std::vector<uint32_t> starts;
    uint32_t o = d_->proc + kProcHeaderSize, far = 0;
    while (o < size && starts.size() < kMaxInstructions) {
      const OpcodeInfo* row = nullptr;
      const uint32_t n = instruction_length(base, size, o, &row);
      if (n == 0) break;
      starts.push_back(o);
      far = std::max(far, furthest_target(base, o, row));
      o += n;
      if ((base[starts.back()] == kReturn || base[starts.back()] == kReturnValue) && o > far) break;
    }
    d_->lo = d_->proc + kProcHeaderSize;
    d_->hi = std::max(o, d_->lo);
    d_->rec_at.assign(d_->hi - d_->lo, -1);
    for (uint32_t s : starts) decode_at(s);
    // Successors and targets: the record at that byte, or a plain one.
    // (record_for may add records: index, never hold a reference.)
    const size_t decoded = d_->recs.size();  // the exits record_for adds come after
    std::vector<int32_t> next(decoded), target(decoded, -1);
    for (size_t i = 0; i < decoded; ++i) {
      next[i] = record_for(next_at_[i]);
      const Kind kind = d_->recs[i].kind;
      if (kind == kGoto || kind == kBranch || (kind >= kPushOperateTest && kind < kKinds))
        target[i] = record_for(target_at_[i]);
    }
    // The records stay where they are from here on: link them.
    Rec* recs = d_->recs.data();
    for (size_t i = 0; i < d_->recs.size(); ++i) {
      recs[i].next = recs + (i < next.size() ? next[i] : static_cast<int32_t>(i));
      if (i < target.size() && target[i] >= 0) recs[i].target = recs + target[i];
      if (i < fail_.size() && fail_[i] >= 0) recs[i].fail = recs + fail_[i];
    }
    keep(d_->proc, d_->hi - d_->proc);
    return d_;
  }

 private:
  // Push a record standing for the bytes [at, end); its target byte if it
  // jumps.
  int32_t add(const Rec& r, uint32_t end, uint32_t target = 0) {
    d_->recs.push_back(r);
    next_at_.push_back(end);
    target_at_.push_back(target);
    fail_.push_back(-1);
    return static_cast<int32_t>(d_->recs.size() - 1);
  }

  // The record at byte `at`; a plain one made for it when none starts there.
  int32_t record_for(uint32_t at) {
    if (const int32_t i = d_->record_at(at); i >= 0) return i;
    if (auto e = exits_.find(at); e != exits_.end()) return e->second;
    Rec r;
    r.at = at;
    const int32_t i = add(r, at);  // its successor is itself, never followed
    exits_[at] = i;
    return i;
  }

  // The local of a variable operand, or -1.
  static int32_t local_of(uint32_t x) {
    return x - kFirstLocal <= kLastLocal - kFirstLocal ? static_cast<int32_t>(x - kFirstLocal) : -1;
  }

  // The integer of the constant at operand x, remembering its bytes.
  bool constant(uint32_t x, int64_t* out) {
    const uint32_t at = d_->consts + x;
    if (at >= d_->size) return false;
    const uint8_t len = d_->base[at];
    VarNum v;
    if (len == 0 || len > 7 || d_->size - at <= len ||
        !vm_const_number(std::string_view(reinterpret_cast<const char*>(d_->base + at + 1), len), &v) || v.scale != 0)
      return false;
    keep(at, 1u + len);
    *out = v.mant;
    return true;
  }

  void keep(uint32_t at, uint32_t len) {
    d_->spans.push_back({at, len});
    d_->bytes.insert(d_->bytes.end(), d_->base + at, d_->base + at + len);
  }

  // The records of the instruction at o: the longest run first, each
  // failing over to the next shorter one, the last to the handler.
  void decode_at(uint32_t o) {
    const uint8_t* p = d_->base + o;
    const uint32_t room = d_->size - o;
    const uint32_t x = room >= 3 ? u16_at(p + 1) : 0;
    int32_t first = -1;
    auto chain = [&](const Rec& r, uint32_t end, uint32_t target = 0) {
      const int32_t i = add(r, end, target);
      if (first < 0) {
        first = i;
      } else {
        fail_[static_cast<size_t>(i) - 1] = i;
      }
    };
    Rec r;
    r.at = o;
    const uint8_t op = p[0];
    int64_t k = 0;
    if (room >= 3) {
      const int32_t l = local_of(x);
      if (op == kPushVar && l >= 0) {
        r.local = l;
        r.operand = x;
        if (room >= 7 && p[3] == kPushConst && kOpers[p[6]].kind != kNotInline && constant(u16_at(p + 4), &k)) {
          Rec f = r;
          f.oper = kOpers[p[6]];
          f.k = k;
          if (room >= 10) {
            const uint32_t y = u16_at(p + 8);
            if (p[7] == kAssign && local_of(y) >= 0) {
              Rec s = f;
              s.kind = static_cast<Kind>(kPushOperateStore + fused_operator(f.oper));
              s.steps = 4;
              s.dst = local_of(y);
              chain(s, o + 10);
            } else if ((p[7] == kJumpIfTrue || p[7] == kJumpIfFalse) && y < d_->size) {
              Rec s = f;
              s.kind = static_cast<Kind>(kPushOperateTest + fused_operator(f.oper));
              s.steps = 4;
              s.when_true = p[7] == kJumpIfTrue;
              s.poll_always = s.when_true;
              s.poll_taken = y < o + 10;
              s.go_when = s.when_true ? f.oper.holds : static_cast<uint8_t>(~f.oper.holds & 7);
              chain(s, o + 10, y);
            }
          }
          f.kind = static_cast<Kind>(kPushOperate + fused_operator(f.oper));
          f.steps = 3;
          chain(f, o + 7);
        }
        r.kind = kPushLocal;
        chain(r, o + 3);
      } else if (op == kPushConst && constant(x, &k)) {
        r.kind = kPushInt;
        r.k = k;
        chain(r, o + 3);
      } else if ((op == kAssign || op == kIncr || op == kDecr) && l >= 0) {
        r.kind = op == kAssign ? kAssignLocal : op == kIncr ? kIncrLocal : kDecrLocal;
        r.local = l;
        chain(r, o + 3);
      } else if ((op == kJump || op == kJumpIfTrue || op == kJumpIfFalse) && x < d_->size) {
        r.kind = op == kJump ? kGoto : kBranch;
        r.when_true = op == kJumpIfTrue;
        // jump and jump_if_true poll always, jump_if_false when it goes back.
        r.poll_always = op != kJumpIfFalse;
        r.poll_taken = x < o + 3;
        chain(r, o + 3, x);
      }
    }
    if (first < 0 && kOpers[op].kind != kNotInline) {
      r.kind = kOperate;
      r.oper = kOpers[op];
      chain(r, o + 1);
    }
    if (first < 0) chain(r, o);  // plain: the handler finds its own end
    d_->rec_at[o - d_->lo] = first;
  }

  std::shared_ptr<Decoded> d_;
  std::vector<uint32_t> next_at_, target_at_;
  std::vector<int32_t> fail_;
  std::unordered_map<uint32_t, int32_t> exits_;
};

// ---- the kept forms --------------------------------------------------------------

struct Key {
  const uint8_t* base;
  uint32_t size, proc;
  bool operator==(const Key&) const = default;
};
struct KeyHash {
  size_t operator()(const Key& k) const {
    return std::hash<const void*>()(k.base) ^ (static_cast<size_t>(k.proc) * 0x9E3779B97F4A7C15ull) ^ k.size;
  }
};

constexpr size_t kMaxKept = 512;
std::unordered_map<Key, std::shared_ptr<Decoded>, KeyHash> kept;
uint64_t decodes = 0;

// The decoded form of the running procedure, or null when the frame names
// none inside its image.
std::shared_ptr<Decoded> running_form() {
  const uint8_t* base = vm.regs.module_base;
  const uint8_t* proc = vm.regs.proc;
  if (base == nullptr || proc == nullptr || proc < base || vm.regs.module_end - proc < kProcHeaderSize ||
      vm.regs.constants < base || vm.regs.constants > vm.regs.module_end)
    return nullptr;
  const Key key{base, static_cast<uint32_t>(vm.regs.module_end - base), static_cast<uint32_t>(proc - base)};
  const uint32_t consts = static_cast<uint32_t>(vm.regs.constants - base);
  auto it = kept.find(key);
  if (it != kept.end() && it->second->consts == consts && it->second->same(base)) return it->second;
  if (it == kept.end() && kept.size() >= kMaxKept) kept.clear();
  ++decodes;
  std::shared_ptr<Decoded> d = Decoder(base, key.size, key.proc, consts).run();
  kept[key] = d;
  return d;
}

}  // namespace

size_t vm_decoded_count() { return kept.size(); }
uint64_t vm_decodes() { return decodes; }
void vm_decoded_clear() { kept.clear(); }

void vm_run_decoded() {
  std::shared_ptr<Decoded> d;
  const Rec* r = nullptr;
  // The registers of the loop. Slot indexes count from the stack scope's
  // first slot: s and n point at it, the top entry is s[top], the frame's
  // first local s[locals], and every index up to `last` is in use.
  uint32_t* s = nullptr;
  VarNumSlot* n = nullptr;
  int32_t last = 0, locals = 0, top = 0;
  int64_t steps = 0;

  // The registers from the machine, after every handler and poll.
  auto load = [&] {
    const int32_t lb = var_slots.local_base;
    s = var_slots.slots.data() + lb;
    n = var_slots.nums.data() + lb;
    last = var_slots.last_slot - lb;
    locals = vm.regs.locals_base;
    top = vm_stack.top;
    steps = vm.steps_left;
  };
  auto store = [&](uint32_t at) {
    vm.regs.ip = d->base + at;
    vm.steps_left = steps;
    vm_stack.top = top;
  };
  // Whether a slot holds an integer in number form (not a reference).
  auto int_at = [&](int32_t i, int64_t* out) {
    if ((s[i] & (kSlotNumber | kSlotRef)) != kSlotNumber || n[i].scale != 0) return false;
    *out = n[i].mant;
    return true;
  };
  // Whether an integer goes into a slot in number form without allocating.
  auto fits = [&](int32_t i, int64_t m) {
    return (s[i] & (kSlotNumber | kSlotRef)) == kSlotNumber && m >= n[i].fit_lo && m <= n[i].fit_hi;
  };
  auto put = [&](int32_t i, int64_t m) {
    VarNumSlot& x = n[i];
    x.mant = m;
    x.scale = 0;
    x.text_made = 0;
  };
  // The variable push_var read last, as its handler records it.
  auto read = [&] { vm_last_read_var = r->operand + static_cast<uint32_t>(locals); };

#if defined(__GNUC__)
  static const void* const kLabels[kKinds] = {
      &&plain,        &&push_local,   &&push_int,     &&assign_local, &&incr,        &&decr,        &&operate,
      &&go_to,        &&branch,       &&push_op_0,    &&push_op_1,    &&push_op_2,   &&push_op_3,   &&push_store_0,
      &&push_store_1, &&push_store_2, &&push_store_3, &&push_test_0,  &&push_test_1, &&push_test_2, &&push_test_3};
#define ZVX_NEXT() goto* kLabels[r->kind]
#else
#define ZVX_NEXT() goto dispatch
#endif

resync:
  if (vm.target_depth >= vm.frame_depth) return;
  if (!d || vm.regs.module_base != d->base || vm.regs.proc != d->base + d->proc ||
      vm.regs.module_end != d->base + d->size || vm.regs.constants != d->base + d->consts)
    d = running_form();
  if (d && vm.regs.ip >= d->base) {
    if (const int32_t i = d->record_at(static_cast<size_t>(vm.regs.ip - d->base)); i >= 0) {
      r = d->recs.data() + i;
      load();
      ZVX_NEXT();
    }
  }
  plain_step();
  goto resync;

#if !defined(__GNUC__)
dispatch:
  switch (r->kind) {
    case kPushLocal:
      goto push_local;
    case kPushInt:
      goto push_int;
    case kAssignLocal:
      goto assign_local;
    case kIncrLocal:
      goto incr;
    case kDecrLocal:
      goto decr;
    case kOperate:
      goto operate;
    case kGoto:
      goto go_to;
    case kBranch:
      goto branch;
    case kPushOperate + 0:
      goto push_op_0;
    case kPushOperate + 1:
      goto push_op_1;
    case kPushOperate + 2:
      goto push_op_2;
    case kPushOperate + 3:
      goto push_op_3;
    case kPushOperateStore + 0:
      goto push_store_0;
    case kPushOperateStore + 1:
      goto push_store_1;
    case kPushOperateStore + 2:
      goto push_store_2;
    case kPushOperateStore + 3:
      goto push_store_3;
    case kPushOperateTest + 0:
      goto push_test_0;
    case kPushOperateTest + 1:
      goto push_test_1;
    case kPushOperateTest + 2:
      goto push_test_2;
    case kPushOperateTest + 3:
      goto push_test_3;
    default:
      goto plain;
  }
#endif

fail:
  if (r->fail) {
    r = r->fail;
    ZVX_NEXT();
  }
plain:
  store(r->at);
  plain_step();
  goto resync;

poll:
  // The break key; the poll may run other code (the keyboard's hook), so
  // everything is read again after it.
  store(r->at);
  if (vm_check_break() != ERR_OK) goto resync;
  load();
  ZVX_NEXT();

push_local : {
  const int32_t src = locals + r->local, t1 = top + 1;
  int64_t v;
  if (steps <= 1 || src > last || t1 > last || !int_at(src, &v) || !fits(t1, v)) goto fail;
  read();
  put(t1, v);
  top = t1;
  --steps;
  r = r->next;
  ZVX_NEXT();
}
push_int : {
  const int32_t t1 = top + 1;
  if (steps <= 1 || t1 > last || !fits(t1, r->k)) goto fail;
  put(t1, r->k);
  top = t1;
  --steps;
  r = r->next;
  ZVX_NEXT();
}
assign_local : {
  const int32_t dst = locals + r->local;
  int64_t v;
  if (steps <= 1 || dst > last || top < 0 || !int_at(top, &v) || !fits(dst, v)) goto fail;
  put(dst, v);
  --top;
  --steps;
  r = r->next;
  ZVX_NEXT();
}
incr:
decr : {
  const int32_t i = locals + r->local;
  int64_t v;
  if (steps <= 1 || i > last || !int_at(i, &v)) goto fail;
  const int64_t m = v + (r->kind == kIncrLocal ? 1 : -1);
  if (m > kNumMantMax || m < -kNumMantMax || !fits(i, m)) goto fail;
  put(i, m);
  --steps;
  r = r->next;
  ZVX_NEXT();
}
operate : {
  int64_t u, v, m;
  if (steps <= 1 || top < 1 || !int_at(top - 1, &u) || !int_at(top, &v) || !apply(r->oper, u, v, &m) ||
      !fits(top - 1, m))
    goto fail;
  put(top - 1, m);
  --top;
  --steps;
  r = r->next;
  ZVX_NEXT();
}
go_to : {
  if (steps <= 1) goto fail;
  --steps;
  r = r->target;
  goto poll;
}
branch : {
  int64_t v;
  if (steps <= 1 || top < 0 || !int_at(top, &v)) goto fail;
  --top;
  --steps;
  const bool go = (v != 0) == (r->when_true != 0);
  const bool polls = r->poll_always || (go && r->poll_taken);
  r = go ? r->target : r->next;
  if (polls) goto poll;
  ZVX_NEXT();
}
// The fused runs, one body per operator. Each checks what the three or
// four instructions would check one by one, then writes what they write.
#define ZVX_FUSED_GUARDS(O, STEPS)                                                                          \
  const int32_t src = locals + r->local, t1 = top + 1, t2 = top + 2;                                        \
  int64_t v, m;                                                                                             \
  int idx = 0;                                                                                              \
  if (steps <= (STEPS) || src > last || t2 > last || !int_at(src, &v) || !fits(t1, v) || !fits(t2, r->k) || \
      !fused_value<O>(v, r->k, r->oper.holds, &m, &idx) || !fits(t1, m))                                    \
    goto fail;
#define ZVX_PUSH_OPERATE(O) \
  push_op_##O : {           \
    ZVX_FUSED_GUARDS(O, 3)  \
    read();                 \
    put(t1, m);             \
    put(t2, r->k);          \
    top = t1;               \
    steps -= 3;             \
    r = r->next;            \
    ZVX_NEXT();             \
  }
#define ZVX_PUSH_STORE(O)                       \
  push_store_##O : {                            \
    ZVX_FUSED_GUARDS(O, 4)                      \
    const int32_t dst = locals + r->dst;        \
    if (dst > last || !fits(dst, m)) goto fail; \
    read();                                     \
    put(t1, m);                                 \
    put(t2, r->k);                              \
    put(dst, m);                                \
    steps -= 4;                                 \
    r = r->next;                                \
    ZVX_NEXT();                                 \
  }
#define ZVX_PUSH_TEST(O)                                                                       \
  push_test_##O : {                                                                            \
    ZVX_FUSED_GUARDS(O, 4)                                                                     \
    read();                                                                                    \
    put(t1, m);                                                                                \
    put(t2, r->k);                                                                             \
    steps -= 4;                                                                                \
    const bool go = O == 3 ? ((r->go_when >> idx) & 1) != 0 : (m != 0) == (r->when_true != 0); \
    const bool polls = r->poll_always || (go && r->poll_taken);                                \
    r = go ? r->target : r->next;                                                              \
    if (polls) goto poll;                                                                      \
    ZVX_NEXT();                                                                                \
  }
  ZVX_PUSH_OPERATE(0)
  ZVX_PUSH_OPERATE(1)
  ZVX_PUSH_OPERATE(2)
  ZVX_PUSH_OPERATE(3)
  ZVX_PUSH_STORE(0)
  ZVX_PUSH_STORE(1)
  ZVX_PUSH_STORE(2)
  ZVX_PUSH_STORE(3)
  ZVX_PUSH_TEST(0)
  ZVX_PUSH_TEST(1)
  ZVX_PUSH_TEST(2)
  ZVX_PUSH_TEST(3)
#undef ZVX_PUSH_TEST
#undef ZVX_PUSH_STORE
#undef ZVX_PUSH_OPERATE
#undef ZVX_FUSED_GUARDS
#undef ZVX_NEXT
}
