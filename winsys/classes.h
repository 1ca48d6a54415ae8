// Window classes: the registry of named classes and the four built-in ones.
//
// The registry is a DynArray of XfClass pointers kept sorted by name (byte
// comparison); a name registered twice keeps both records and the look-up
// finds one of them. The built-in classes "ButtonWindowClass",
// "ScrollBarWindowClass", "StaticWindowClass" and "ctlframe" live outside it;
// the Parts that own their procedures install them here.
#pragma once

#include <cstdint>

#include "winsys/window_rec.h"

struct XfClass {
  int32_t style;
  XfProc proc;
  uint32_t word_bytes;
  char* name;       // owned
  char* base_name;  // owned, or none
  bool negative;    // the style was negative: give windows their own PS
};

// Copies the record in; answers the number of registered classes.
int32_t xfRegisterClass(const char* name, XfProc procedure, int32_t style, uint32_t word_bytes, const char* base_name);
// 0 and the record in *out, or 1 when absent.
int xfFindClass(const char* name, XfClass** out);
struct XfClassInfo {
  int32_t style;
  XfProc proc;
  uint32_t word_bytes;
};
// A built-in class or a registered one: 1, or 0 when unknown.
int xfQueryClassInfo(const char* name, XfClassInfo* out);
int xfClassNameCompare(const char* a, const char* b);

// The built-in classes, by name; none for other names.
XfClass* xf_builtin_class(const char* name);
// Installs the procedure of a built-in class (the scroll bars install theirs).
void xf_set_builtin_proc(const char* name, XfProc proc);

inline constexpr const char* kButtonClass = "ButtonWindowClass";
inline constexpr const char* kScrollBarClass = "ScrollBarWindowClass";
inline constexpr const char* kStaticClass = "StaticWindowClass";
inline constexpr const char* kCtlFrameClass = "ctlframe";
