// Fuzz target: arbitrary names and wildcards through the path-text functions
// and the wildcard matcher. Nothing here writes to the file system.
//
// Input: a wildcard, a newline, then a name (no newline: the whole input is
// used as both). Every result is checked against its buffer's bounds, and
// the wildcard's expression must match the same way through the compiled
// program and through os_wildcard_match.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "base/filename.h"
#include "base/os.h"
#include "base/wildcard.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void path_text(const std::string& name) {
  // C-string functions see the name up to its first NUL.
  std::string c(name.c_str());
  check(os_path_name_offset(c.c_str()) <= c.size());
  char ext[20];
  os_path_extension(c.c_str(), ext, sizeof ext);
  check(std::strlen(ext) < sizeof ext);
  for (char letter : {'P', 'N', 'E', 'B'}) {
    std::string buf = c;
    os_path_strip(buf.data(), letter);
    check(std::strlen(buf.c_str()) <= c.size());
  }
  check(os_has_wildcards_n(name.data(), name.size()) <= 1);

  LStrBuf<LSTR_CAP_LINE> n(name), out;
  LStrBuf<8> small;
  check(file_dir_length(n) <= n.len);
  file_extension(n, small, small.cap);
  check(small.len <= small.cap);
  for (char letter : {'P', 'E', 'B'}) {
    LStrBuf<LSTR_CAP_LINE> s(name);
    file_strip(s, letter);
    check(s.len >= 0 && s.len <= n.len);
  }
  LStrBuf<LSTR_CAP_LINE> line(name);
  int32_t before = line.len;
  if (file_take_name(line, out, out.cap) == 0) check(out.len <= before && line.len <= before);
  LStrBuf<LSTR_CAP_LINE> q(name);
  if (file_quote(q, q.cap) == 0) check(q.len == n.len + 2);
  LStrBuf<LSTR_CAP_LINE> rel(name);
  check(file_relative(out, rel, out.cap) == 0 && out.len <= out.cap);
}

void wildcards(const std::string& pattern, const std::string& name) {
  char expr[OS_EXPR_MAX + 2];
  if (!os_wildcard_to_expr(pattern, expr, sizeof expr)) {
    check(pattern.size() * 2 + 2 > OS_EXPR_MAX);  // refused only when it may not fit
    return;
  }
  std::string_view e(expr);  // NULs in the pattern end the expression here
  int32_t err = 0;
  wildcard::ProgramPtr prog(wildcard::compile(e, &err));
  int via_hook = os_wildcard_match(e, name);
  if (!prog) {
    check(err == -2500);
    check(via_hook == -2500 || e == "^?*$");
    return;
  }
  int direct = wildcard::match(prog.get(), name);
  check(direct == 0 || direct == 1);
  check(via_hook == direct);
  // The raw input as an expression of its own: must compile or fail cleanly.
  wildcard::ProgramPtr raw(wildcard::compile(pattern, &err));
  if (raw) check(wildcard::match(raw.get(), name) <= 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::string in(reinterpret_cast<const char*>(data), size);
  size_t nl = in.find('\n');
  std::string pattern = nl == std::string::npos ? in : in.substr(0, nl);
  std::string name = nl == std::string::npos ? in : in.substr(nl + 1);
  path_text(name);
  wildcards(pattern, name);
  return 0;
}
