// The help viewer's macro built-ins and the viewers of help-control objects.
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "forms/objects.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/stack.h"
#include "services/help_ini.h"
#include "services/help_view_host.h"
#include "text/curline.h"

bool help_xpm_size(const char* xpm, size_t length, int32_t* w, int32_t* h) {
  // The first quoted string is the values line: width height colours chars.
  const char* end = xpm + length;
  const char* q = static_cast<const char*>(std::memchr(xpm, '"', length));
  if (!q) return false;
  std::string values(q + 1, static_cast<size_t>(std::min<ptrdiff_t>(end - q - 1, 64)));
  int a = 0, b = 0;
  if (std::sscanf(values.c_str(), "%d %d", &a, &b) != 2 || a <= 0 || b <= 0 || a > 32767 || b > 32767) return false;
  *w = a;
  *h = b;
  return true;
}

void* HelpFixedCanvas::make_picture(const char* xpm, size_t length, int32_t* w, int32_t* h) {
  if (!help_xpm_size(xpm, length, w, h)) return nullptr;
  return new int32_t[2]{*w, *h};
}
void HelpFixedCanvas::free_picture(void* p) { delete[] static_cast<int32_t*>(p); }

namespace {

struct Headless {
  uint32_t serial = 0;
  std::unique_ptr<HelpFixedCanvas> canvas;
  std::unique_ptr<HelpView> view;
};
std::map<int32_t, Headless>& headless() {
  static std::map<int32_t, Headless> m;
  return m;
}
HelpWindowLookup g_lookup = nullptr;

}  // namespace

void help_set_window_lookup(HelpWindowLookup lookup) { g_lookup = lookup; }
void help_views_reset() { headless().clear(); }

HelpView* help_view_of_object(WindowObject* obj) {
  if (!obj || obj->type != kObjHelp) return nullptr;
  if (obj->client_window && g_lookup)
    if (HelpView* v = g_lookup(obj->client_window)) return v;
  Headless& h = headless()[obj->handle];
  if (!h.view || h.serial != obj->serial) {
    h.view.reset();
    const int32_t w = obj->layout_rect[2] > 0 ? obj->layout_rect[2] : 400;
    const int32_t ht = obj->layout_rect[3] > 0 ? obj->layout_rect[3] : 300;
    h.canvas = std::make_unique<HelpFixedCanvas>(w, ht);
    h.view = std::make_unique<HelpView>(h.canvas.get());
    h.serial = obj->serial;
  }
  return h.view.get();
}

namespace {

// The current object's viewer; else the n arguments go and -2073 is raised
// as fatal.
HelpView* need_view(int32_t n) {
  HelpView* v = help_view_of_object(window_current());
  if (!v) bi_fail(n, ERR_NOT_ALLOWED_ON_OBJECT, true);
  return v;
}

void push_text(const std::string& s) { vm_push_bytes(s.data(), static_cast<int32_t>(s.size())); }

void bi_helpview_load() {
  HelpView* v = need_view(1);
  if (!v) return;
  const std::string file(bi_arg(1, 0).substr(0, 255));
  core_drop(1);
  vm_push_int(help_view_load(*v, file));
}

void bi_helpview_close() {
  HelpView* v = need_view(0);
  if (!v) return;
  help_view_close(*v);
}

void bi_helpview_keyword() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  HelpView* v = need_view(n);
  if (!v) return;
  const std::string keyword(bi_arg(n, 0).substr(0, 1023));
  const std::string topic = n == 2 ? std::string(bi_arg(n, 1).substr(0, 1023)) : std::string();
  core_drop(n);
  const std::string_view t(topic);
  vm_push_int(help_goto_keyword(*v, keyword, n == 2 ? &t : nullptr));
}

void bi_helpview_property() {
  HelpView* v = need_view(1);
  if (!v) return;
  const std::string name(bi_arg(1, 0).substr(0, 255));
  core_drop(1);
  push_text(help_query(*v, name).substr(0, 1023));
}

void bi_helpview_mouse() {
  int32_t n = 0;
  if (!bi_count(2, 3, &n)) return;
  HelpView* v = need_view(n);
  if (!v) return;
  int32_t x = 0, y = 0;
  if (!bi_arg_int(n, 0, &x) || !bi_arg_int(n, 1, &y)) return;
  char option = ' ';
  if (n == 3) {
    const std::string_view o = bi_strip_blanks(bi_arg(n, 2));
    if (!o.empty()) {
      if (o[0] != 'E' && o[0] != 'e') {
        core_drop(n);
        return;  // another letter: no effect
      }
      option = 'E';
    }
  }
  core_drop(n);
  help_mouse_press(*v, x, y, option == 'E');
}

void bi_helpview_command() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  HelpView* v = need_view(n);
  if (!v) return;
  const std::string command(bi_arg(n, 0).substr(0, 1023));
  const std::string argument = n == 2 ? std::string(bi_arg(n, 1).substr(0, 1023)) : std::string();
  core_drop(n);
  vm_set_rc(help_command(*v, command, argument));
}

// Runs a listing into the list control named by argument 0.
template <class List>
void list_into(int32_t n, HelpView* v, List list) {
  int32_t id = 0;
  if (!bi_arg_int(n, 0, &id)) return;
  WindowObject* target = obj_get(id);
  if (!target) {
    bi_fail(n, ERR_INVALID_ARGUMENT);
    return;
  }
  const std::string extra = n == 2 ? std::string(bi_arg(n, 1).substr(0, 1023)) : std::string();
  core_drop(n);
  WindowObject* before = window_current();
  window_set_current(target, 0);
  if (target->type != kObjList) {
    window_set_current(before, 0);
    vm_raise_fatal(ERR_INVALID_ARGUMENT);
    return;
  }
  const int32_t rc = list(*v, extra, [](std::string_view text) {
    std::string line(1, ' ');  // built by append: GCC 12 at -O3 warns falsely on " " + string
    line.append(text.substr(0, 1022));
    const int32_t r = line_insert_after_cursor(line.data(), static_cast<int32_t>(line.size()));
    return r < 0 ? r : 0;
  });
  window_set_current(before, 0);
  vm_set_rc(rc);
}

void bi_helpview_list_keywords() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  HelpView* v = need_view(n);
  if (!v) return;
  list_into(n, v, [](HelpView& view, const std::string&, const HelpListCallback& cb) {
    return help_list_keywords(view, cb);
  });
}

void bi_helpview_list_topics() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  HelpView* v = need_view(n);
  if (!v) return;
  const bool has_keyword = n == 2;
  list_into(n, v, [has_keyword](HelpView& view, const std::string& keyword, const HelpListCallback& cb) {
    const std::string_view k(keyword);
    return help_list_keyword_topics(view, cb, has_keyword ? &k : nullptr);
  });
}

void bi_helpview_topic() {
  int32_t n = 0;
  if (!bi_count(1, 2, &n)) return;
  HelpView* v = need_view(n);
  if (!v) return;
  int32_t position = 0;
  if (n == 2 && !bi_arg_int(n, 1, &position)) return;
  const std::string name(bi_arg(n, 0).substr(0, 1023));
  core_drop(n);
  vm_push_int(help_goto_topic_name(*v, name, position));
}

// clang-format off
constexpr OpcodeBinding kHelpViewOpcodes[] = {
    {opcode_slot("helpview_load"), bi_helpview_load},
    {opcode_slot("helpview_close"), bi_helpview_close},
    {opcode_slot("helpview_keyword"), bi_helpview_keyword},
    {opcode_slot("helpview_property"), bi_helpview_property},
    {opcode_slot("helpview_mouse"), bi_helpview_mouse},
    {opcode_slot("helpview_command"), bi_helpview_command},
    {opcode_slot("helpview_list_keywords"), bi_helpview_list_keywords},
    {opcode_slot("helpview_list_topics"), bi_helpview_list_topics},
    {opcode_slot("helpview_topic"), bi_helpview_topic},
};
// clang-format on

}  // namespace

BindResult help_view_register_opcodes(OpcodeDispatch& d) {
  return opcodes_register(d, Layer::Services, kHelpViewOpcodes);
}
