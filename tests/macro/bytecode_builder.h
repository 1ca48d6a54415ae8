// A small builder of module images for tests: emits instructions by
// mnemonic through the opcode table (operand kinds are checked against the
// table row), pools constants, keeps a link table and patches labels.
//
// Image layout: the 28-byte module header, the code, the link table, the
// constant area.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "macro/interp.h"
#include "macro/opcodes.h"

namespace bc {

// Variable operands.
inline uint16_t local(int i) { return static_cast<uint16_t>(8001 + i); }
inline uint16_t arg(int a) { return static_cast<uint16_t>(9000 + 2 * a); }

struct Label {
  int id = -1;
};

// One operand: kind character as in the opcode table, and its value.
struct Opnd {
  char kind = 0;
  uint32_t value = 0;
  std::string text;            // constants
  Label label;                 // jumps
  std::vector<uint16_t> vars;  // variable groups
};
inline Opnd make(char kind, uint32_t value) {
  Opnd o;
  o.kind = kind;
  o.value = value;
  return o;
}
inline Opnd cnt(int n) { return make('c', static_cast<uint32_t>(n)); }
inline Opnd var(uint16_t x) { return make('v', x); }
inline Opnd k(std::string s) {
  Opnd o = make('k', 0);
  o.text = std::move(s);
  return o;
}
inline Opnd jmp(Label l) {
  Opnd o = make('j', 0);
  o.label = l;
  return o;
}
inline Opnd lnk(uint16_t i) { return make('l', i); }
inline Opnd raw16(uint16_t v) { return make('u', v); }
inline Opnd col(uint8_t v) { return make('b', v); }
inline Opnd delta(int16_t v) { return make('w', static_cast<uint16_t>(v)); }
inline Opnd oper(char c) { return make('o', static_cast<uint8_t>(c)); }
inline Opnd group(std::vector<uint16_t> v) {
  Opnd o = make('n', 0);
  o.vars = std::move(v);
  return o;
}

class ImageBuilder {
 public:
  ImageBuilder() : code_(kModuleHeaderSize, 0) {
    links_.assign(3 * kLinkEntrySize, 0);  // entries 0-2 are unused
    constants_.push_back(0);               // offset 0: the empty string
  }

  // Start a procedure here; returns its code offset.
  uint16_t proc(uint8_t locals, uint8_t params, uint16_t by_value_mask) {
    const auto at = static_cast<uint16_t>(code_.size());
    code_.push_back(locals);
    code_.push_back(params);
    put16(by_value_mask);
    return at;
  }

  Label new_label() {
    label_at_.push_back(-1);
    return Label{static_cast<int>(label_at_.size()) - 1};
  }
  void bind(Label l) { label_at_[static_cast<size_t>(l.id)] = static_cast<int>(code_.size()); }
  uint16_t here() const { return static_cast<uint16_t>(code_.size()); }

  // A link entry; returns its index.
  uint16_t link(uint16_t kind, uint16_t a = 0, uint16_t b = 0, uint16_t c = 0) {
    const auto index = static_cast<uint16_t>(links_.size() / kLinkEntrySize);
    for (uint16_t v : {a, kind, b, c}) {
      links_.push_back(static_cast<uint8_t>(v));
      links_.push_back(static_cast<uint8_t>(v >> 8));
    }
    return index;
  }
  // A link that names global slot `slot`, usable as a variable operand.
  uint16_t global(uint16_t slot) { return link(36, 0, 0, slot); }
  // A private procedure at a code offset, callable by call_link.
  uint16_t private_proc(uint16_t offset) { return link(LK_PRIVATE_PROC, 0, 0, offset); }

  // Emit one instruction; operands must match the table row.
  void op(std::string_view mnemonic, std::vector<Opnd> ops = {}) {
    auto ref = opcode_find(mnemonic);
    if (!ref) {
      ADD_FAILURE() << "no mnemonic " << mnemonic;
      return;
    }
    const std::string_view kinds = ref->info->operands;
    if (kinds.size() != ops.size()) {
      ADD_FAILURE() << mnemonic << ": expected operands " << kinds;
      return;
    }
    if (ref->ext) code_.push_back(kExtPrefix);
    code_.push_back(ref->slot);
    for (size_t i = 0; i < ops.size(); ++i) {
      if (ops[i].kind != kinds[i]) ADD_FAILURE() << mnemonic << ": operand " << i << " kind";
      emit(ops[i]);
    }
  }
  // Raw bytes (damaged code).
  void bytes(std::initializer_list<uint8_t> b) { code_.insert(code_.end(), b); }

  std::vector<uint8_t> finish() {
    std::vector<uint8_t> img = code_;
    for (auto [pos, id] : fixups_) {
      const int at = label_at_[static_cast<size_t>(id)];
      EXPECT_GE(at, 0) << "unbound label";
      img[pos] = static_cast<uint8_t>(at);
      img[pos + 1] = static_cast<uint8_t>(at >> 8);
    }
    const size_t link_off = img.size();
    img.insert(img.end(), links_.begin(), links_.end());
    const size_t const_off = img.size();
    img.insert(img.end(), constants_.begin(), constants_.end());
    auto set16 = [&](size_t at, size_t v) {
      img[at] = static_cast<uint8_t>(v);
      img[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    set16(MH_SIZE, img.size());
    set16(MH_LINKS, link_off);
    set16(MH_LAST_LINK, links_.size() / kLinkEntrySize - 1);
    set16(MH_CONSTANTS, const_off);
    return img;
  }

 private:
  void put16(uint16_t v) {
    code_.push_back(static_cast<uint8_t>(v));
    code_.push_back(static_cast<uint8_t>(v >> 8));
  }
  uint16_t constant(const std::string& s) {
    auto it = pool_.find(s);
    if (it != pool_.end()) return it->second;
    const auto at = static_cast<uint16_t>(constants_.size());
    uint8_t len[VARINT_MAX_BYTES];
    const int32_t n = varint_put(len, VARINT_MAX_BYTES, static_cast<int32_t>(s.size()));
    constants_.insert(constants_.end(), len, len + n);
    constants_.insert(constants_.end(), s.begin(), s.end());
    pool_[s] = at;
    return at;
  }
  void emit(const Opnd& o) {
    switch (o.kind) {
      case 'c':
      case 'b':
      case 'o':
      case 'x':
      case 'p':
      case 'd':
      case 'z':
        code_.push_back(static_cast<uint8_t>(o.value));
        break;
      case 'k':
        put16(constant(o.text));
        break;
      case 'j':
        fixups_.push_back({code_.size(), o.label.id});
        put16(0);
        break;
      case 'n':
        code_.push_back(static_cast<uint8_t>(o.vars.size()));
        for (uint16_t v : o.vars) put16(v);
        break;
      default:
        put16(static_cast<uint16_t>(o.value));
    }
  }

  std::vector<uint8_t> code_;
  std::vector<uint8_t> links_;
  std::vector<uint8_t> constants_;
  std::map<std::string, uint16_t> pool_;
  std::vector<int> label_at_;
  std::vector<std::pair<size_t, int>> fixups_;
};

}  // namespace bc
