#include "app/wiring.h"

#include <cxxabi.h>
#include <elf.h>
#include <link.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "macro/opcodes.h"

// Headless answers mark themselves with a section of this name; the linker
// defines these bounds only when some object brought one.
extern "C" {
[[gnu::weak]] extern const char __start_zvx_headless[];
[[gnu::weak]] extern const char __stop_zvx_headless[];
}

namespace {

struct Symbol {
  uintptr_t value;
  std::string name;
};

// The function symbols of the program's own file, by address.
class SymbolTable {
 public:
  SymbolTable() {
    std::ifstream in("/proc/self/exe", std::ios::binary);
    image_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    read();
  }
  std::string lookup(uintptr_t run_address) const {
    const uintptr_t a = run_address - bias();
    for (const Symbol& s : symbols_)
      if (s.value == a) return demangle(s.name);
    return "?";
  }

 private:
  void read() {
    if (image_.size() < sizeof(Elf64_Ehdr)) return;
    const auto* eh = reinterpret_cast<const Elf64_Ehdr*>(image_.data());
    if (std::string_view(reinterpret_cast<const char*>(eh->e_ident), 4) != ELFMAG) return;
    if (eh->e_shoff + uint64_t(eh->e_shnum) * sizeof(Elf64_Shdr) > image_.size()) return;
    const auto* sh = reinterpret_cast<const Elf64_Shdr*>(image_.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; ++i) {
      if (sh[i].sh_type != SHT_SYMTAB || sh[i].sh_link >= eh->e_shnum) continue;
      const Elf64_Shdr& strs = sh[sh[i].sh_link];
      if (sh[i].sh_offset + sh[i].sh_size > image_.size() || strs.sh_offset + strs.sh_size > image_.size()) return;
      const auto* syms = reinterpret_cast<const Elf64_Sym*>(image_.data() + sh[i].sh_offset);
      const size_t count = sh[i].sh_size / sizeof(Elf64_Sym);
      for (size_t k = 0; k < count; ++k) {
        if (ELF64_ST_TYPE(syms[k].st_info) != STT_FUNC || syms[k].st_name >= strs.sh_size) continue;
        symbols_.push_back({syms[k].st_value, image_.data() + strs.sh_offset + syms[k].st_name});
      }
    }
  }
  // Where the program was loaded: the first object dl_iterate_phdr visits.
  static uintptr_t bias() {
    uintptr_t b = 0;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
          *static_cast<uintptr_t*>(data) = info->dlpi_addr;
          return 1;
        },
        &b);
    return b;
  }
  static std::string demangle(const std::string& name) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> d(abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status),
                                                  &std::free);
    return status == 0 && d ? std::string(d.get()) : name;
  }

  std::string image_;
  std::vector<Symbol> symbols_;
};

const SymbolTable& symbols() {
  static const SymbolTable table;
  return table;
}

}  // namespace

std::vector<WiringSlot> opcode_wiring_slots(const OpcodeDispatch& d) {
  std::vector<WiringSlot> slots;
  for (bool ext : {false, true}) {
    const size_t count = ext ? kExtSlots : kMainSlots;
    for (size_t i = 0; i < count; ++i) {
      const OpcodeInfo& info = opcode_info(ext, static_cast<uint8_t>(i));
      if (!opcode_has_function(info)) continue;
      const OpHandler h = (ext ? d.ext : d.main)[i];
      std::string name = (ext ? "ext " : "") + std::to_string(i) + " " + std::string(info.mnemonic);
      slots.push_back({std::move(name), h == op_illegal ? nullptr : reinterpret_cast<const void*>(h)});
    }
  }
  return slots;
}

std::string symbol_for_address(const void* address) { return symbols().lookup(reinterpret_cast<uintptr_t>(address)); }

int wiring_check(std::FILE* out, std::span<const WiringTable> tables) {
  int faults = 0;
  std::fprintf(out, "ports:\n");
  for (size_t i = 0; i < kPortFunctionCount; ++i) {
    const PortFunction& p = kPortFunctions[i];
    std::fprintf(out, "  %-28s %-36s -> %s\n", p.header, p.name, symbol_for_address(p.address).c_str());
  }
  size_t slots = 0;
  for (const WiringTable& t : tables) {
    std::fprintf(out, "table %s:\n", t.name);
    for (const WiringSlot& s : t.slots) {
      ++slots;
      if (!s.address) {
        ++faults;
        std::fprintf(out, "  %-40s EMPTY\n", s.name.c_str());
      } else {
        std::fprintf(out, "  %-40s -> %s\n", s.name.c_str(), symbol_for_address(s.address).c_str());
      }
    }
  }
  if (static_cast<const char*>(__start_zvx_headless) != static_cast<const char*>(__stop_zvx_headless)) {
    ++faults;
    std::fprintf(out, "headless answers are linked into the program\n");
  }
  std::fprintf(out, "%zu port functions, %zu tables with %zu slots, %d faults\n", kPortFunctionCount, tables.size(),
               slots, faults);
  return faults;
}
