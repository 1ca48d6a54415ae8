#include "winsys/classes.h"

#include <cstring>

#include "base/mem.h"
#include "winsys/paint.h"
#include "winsys/scrollbar.h"
#include "winsys/xfsys.h"

namespace {

constexpr uint32_t kBuiltinWordBytes = 64;

// name, procedure of the four built-in classes (style 0, 64 word bytes).
struct Builtin {
  const char* name;
  XfProc proc;
};
const Builtin kBuiltins[4] = {
    {kButtonClass, xfButtonProc},
    {kScrollBarClass, xfScrollBarProc},
    {kStaticClass, xfStaticProc},
    {kCtlFrameClass, xfDefWindowProc},
};

XfClass* builtins() {
  XfClass* b = xf().classes.builtin;
  if (!b[0].name) {
    for (int i = 0; i < 4; ++i) {
      b[i] = XfClass{0, kBuiltins[i].proc, kBuiltinWordBytes, const_cast<char*>(kBuiltins[i].name), nullptr, false};
    }
  }
  return b;
}

char* copy(const char* s) {
  if (!s) return nullptr;
  size_t n = std::strlen(s) + 1;
  auto* p = static_cast<char*>(mem_alloc(n));
  if (!p) dynarray_out_of_memory();
  std::memcpy(p, s, n);
  return p;
}

int compare_entries(XfClass* const* a, XfClass* const* b) { return xfClassNameCompare((*a)->name, (*b)->name); }

}  // namespace

int xfClassNameCompare(const char* a, const char* b) { return std::strcmp(a, b); }

int32_t xfRegisterClass(const char* name, XfProc procedure, int32_t style, uint32_t word_bytes, const char* base_name) {
  auto* c = static_cast<XfClass*>(mem_alloc(sizeof(XfClass)));
  if (!c) dynarray_out_of_memory();
  *c = XfClass{style, procedure, word_bytes, copy(name), copy(base_name), style < 0};
  DynArray<XfClass*>& reg = xf().classes.registry;
  reg.compare = compare_entries;
  return dynarray_insert_sorted(&reg, c);
}

int xfFindClass(const char* name, XfClass** out) {
  DynArray<XfClass*>& reg = xf().classes.registry;
  int32_t lo = 0, hi = reg.count - 1;
  while (lo <= hi) {
    int32_t mid = lo + (hi - lo) / 2;
    int c = xfClassNameCompare(name, reg.data[mid]->name);
    if (c == 0) {
      *out = reg.data[mid];
      return 0;
    }
    if (c < 0) {
      hi = mid - 1;
    } else {
      lo = mid + 1;
    }
  }
  return 1;
}

XfClass* xf_builtin_class(const char* name) {
  if (!name) return nullptr;
  XfClass* b = builtins();
  for (int i = 0; i < 4; ++i) {
    if (std::strcmp(b[i].name, name) == 0) return &b[i];
  }
  return nullptr;
}

int xfQueryClassInfo(const char* name, XfClassInfo* out) {
  XfClass* c = xf_builtin_class(name);
  if (!c && xfFindClass(name, &c) != 0) return 0;
  *out = XfClassInfo{c->style, c->proc, c->word_bytes};
  return 1;
}

void xf_set_builtin_proc(const char* name, XfProc proc) {
  if (XfClass* c = xf_builtin_class(name)) c->proc = proc;
}
