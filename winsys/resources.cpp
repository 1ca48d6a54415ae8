#include "winsys/resources.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "base/mem.h"
#include "winsys/xfsys.h"

const char kResourceNone[] = "none";

#define XF_RES(name) \
  { #name, "String", "String", sizeof(const char*), offsetof(XfResources, name), "String", kResourceNone }

// name, class, type, size, offset, default type, default value
const XfResourceEntry kXfResourceTable[16] = {
    XF_RES(mdiChildFrameActiveColor),
    XF_RES(mdiClientColor),
    XF_RES(mdiChildIconTextFont),
    XF_RES(mdiChildTitleTextFont),
    XF_RES(mdiChildBorderWidth),
    XF_RES(scrollBarWidth),
    XF_RES(menuColor),
    XF_RES(menuFont),
    XF_RES(buttonFont),
    XF_RES(labelFont),
    XF_RES(defaultDialogColor),
    XF_RES(textBoxColor),
    XF_RES(textBox2Color),
    XF_RES(caretColor),
    XF_RES(windowPositioningMode),
    XF_RES(selectionTransferSize),
};

#undef XF_RES

namespace {

std::string g_app_defaults_dir = "/usr/lib/X11/app-defaults";

bool reading_on() {
  const char* v = std::getenv("ZORVEXUSEXRESOURCE");
  return v && v[0] != 'n' && v[0] != 'N';
}

std::string home_dir() {
  if (const char* h = std::getenv("HOME")) return h;
  if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/";
}

const char* app_name() { return xf().app_name ? xf().app_name : "Zorvex"; }
const char* app_class() { return xf().app_class ? xf().app_class : "Halvorn"; }

char* heap_copy(const char* s) {
  size_t n = std::strlen(s) + 1;
  auto* p = static_cast<char*>(mem_alloc(n));
  if (!p) dynarray_out_of_memory();
  std::memcpy(p, s, n);
  return p;
}

void store(void* base, size_t offset, const char* value) {
  std::memcpy(static_cast<char*>(base) + offset, &value, sizeof value);
}

}  // namespace

std::string xfHomeFilePath(const char* name) {
  std::string path = home_dir();
  if (path != "/") path += '/';
  path += name;
  return path;
}

void xf_set_app_defaults_dir(const char* dir) { g_app_defaults_dir = dir; }

void xfLoadResources(void* base, const XfResourceEntry* table, int count) {
  bool on = reading_on();
  XrmDatabase db = nullptr;
  if (on) {
    XrmInitialize();
    std::string defaults = g_app_defaults_dir;
    defaults += '/';
    defaults += app_class();
    db = XrmGetFileDatabase(defaults.c_str());
    XrmDatabase user = XrmGetFileDatabase(xfHomeFilePath(app_class()).c_str());
    if (user) XrmCombineDatabase(user, &db, True);  // the user's file wins
  }
  std::string class_name = std::string(app_class());
  for (int i = 0; i < count; ++i) {
    const XfResourceEntry& e = table[i];
    const char* value = e.default_value;
    char* type = nullptr;
    XrmValue v{};
    std::string name = app_name();
    name += '.';
    name += e.name;
    std::string cls = class_name;
    cls += '.';
    cls += e.res_class;
    if (db && XrmGetResource(db, name.c_str(), cls.c_str(), &type, &v) && v.addr) {
      // Xrm's value lives in the database; keep a copy of our own.
      std::string text(v.addr, v.size && v.addr[v.size - 1] == '\0' ? v.size - 1 : v.size);
      value = heap_copy(text.c_str());
    }
    store(base, e.offset, value);
  }
  if (db) XrmDestroyDatabase(db);
}

void xf_free_resources(XfResources* r) {
  for (const XfResourceEntry& e : kXfResourceTable) {
    const char* v = nullptr;
    std::memcpy(&v, reinterpret_cast<char*>(r) + e.offset, sizeof v);
    if (v && v != kResourceNone) mem_free(const_cast<char*>(v));
    store(r, e.offset, kResourceNone);
  }
}

uint32_t xf_resource_number(const char* text, uint32_t default_value, uint32_t max) {
  if (!text || !*text) return default_value;
  uint64_t v = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return default_value;
    v = v * 10 + static_cast<uint64_t>(*p - '0');
    if (v > max) return default_value;
  }
  return v == 0 ? default_value : static_cast<uint32_t>(v);
}

int xf_positioning_keyword(const char* text) {
  static constexpr const char* kModes[] = {"CreateOuterMoveOuter", "CreateOuterMoveInner", "CreateInnerMoveInner",
                                           "CreateInnerMoveOuter"};
  for (int i = 0; i < 4; ++i) {
    if (text && std::strcmp(text, kModes[i]) == 0) return i;
  }
  return 4;
}
